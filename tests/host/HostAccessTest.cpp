// The host access layer against a scripted client: extension folders, the
// device-family registry, lock files, host-aware writing, vendor tools.
#include "host/DeviceFamilies.h"
#include "host/HostAccess.h"
#include "host/HostFiles.h"
#include "host/HostServices.h"
#include "host/VendorTools.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;
using namespace hostaccess;
using testsupport::TCallLog;
using testsupport::TFakeDispatch;

namespace {

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A client whose plugins registry lists the given extension folders.
class HostAccessTest : public ::testing::Test {
protected:
    HostAccessTest() : Client("client", &Log), Registry("registry", &Log), FlowModule("flow", &Log), Tools("tools", &Log)
    {
        Root = fs::temp_directory_path() / ("hostaccess-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        fs::create_directories(Root);
        Client.ReturnObject(dispid::Client_GetPluginsRegistry, &Registry);
        Registry.On(dispid::PluginsRegistry_Count, [this](const auto&, com::VARIANT* r) {
            com::VariantSetInt32(r, static_cast<int32_t>(Items.size()));
            return com::S_OK;
        });
        Registry.On(dispid::PluginsRegistry_Item, [this](const auto& args, com::VARIANT* r) {
            com::VariantSetDispatch(r, Items.at(static_cast<size_t>(std::get<int64_t>(args[0]))).get());
            return com::S_OK;
        });
        Client.On(dispid::Client_GetServerModule, [this](const auto& args, com::VARIANT* r) {
            if (std::get<std::string>(args[0]) == "FPGAFlow") com::VariantSetDispatch(r, &FlowModule);
            return com::S_OK;
        });
        FlowModule.ReturnObject(dispid::FPGAFlow_GetVendorToolManager, &Tools);
        SetClientForTesting(&Client);
        ResetDeviceFamiliesForTesting();
    }
    ~HostAccessTest() override
    {
        SetClientForTesting(nullptr);
        ResetDeviceFamiliesForTesting();
        fs::remove_all(Root);
    }

    void AddExtension(const fs::path& folder, bool skip = false)
    {
        auto item = std::make_unique<TFakeDispatch>("item", &Log);
        item->ReturnString(dispid::PluginsRegistryItem_Folder, folder.string());
        item->ReturnInt(dispid::PluginsRegistryItem_Skip, skip ? 1 : 0);
        Items.push_back(std::move(item));
    }

    TCallLog Log;
    TFakeDispatch Client, Registry, FlowModule, Tools;
    std::vector<std::unique_ptr<TFakeDispatch>> Items;
    fs::path Root;
};

TEST_F(HostAccessTest, StoredFamiliesAndConfigurationFiles)
{
    EXPECT_EQ(GetVendorOfFamily("Arria5"), "") << "no configuration file declares it yet";
    EXPECT_EQ(GetVendorOfFamily("Cyclone3"), "Altera");
    EXPECT_EQ(GetVendorOfFamily("XCF"), "Xilinx");
    EXPECT_EQ(GetVendorOfFamily("cyclone3"), "") << "family names compare exactly";
    EXPECT_EQ(FindDeviceFamily("MachXO")->EDIF, "MACHXO");
    EXPECT_EQ(FindDeviceFamily("IGLOOnano")->EDIF, "IGLOOnano");
    EXPECT_EQ(FindDeviceFamily("STM32")->EDIF, "");

    ResetDeviceFamiliesForTesting();
    WriteFile(Root / "a/TavrelConfig.ini", "[General]\nDeviceFamily=Arria5\nDeviceVendor=Altera\nEDIF=ARRIA5\n");
    WriteFile(Root / "b/TavrelConfig.ini", "[General]\nDeviceFamily=Cyclone3\nDeviceVendor=Other\nEDIF=C3\n");
    WriteFile(Root / "c/TavrelConfig.ini", "[general]\ndevicefamily=Cyclone3\nDeviceVendor=Later\nEDIF=C3\n");
    WriteFile(Root / "d/TavrelConfig.ini", "[General]\nDeviceFamily=Cyclone2\nDeviceVendor=NoEdif\n");
    WriteFile(Root / "e/TavrelConfig.ini", "[General]\nDeviceFamily=Arria5\nDeviceVendor=Skipped\nEDIF=X\n");
    WriteFile(Root / "f/TavrelConfig.ini", "\x01\x02 not an ini file [[[\n");
    for (const char* folder : {"a", "b", "c", "d"}) AddExtension(Root / folder);
    AddExtension(Root / "e", /*skip=*/true);
    AddExtension(Root / "f");
    AddExtension(Root / "missing");
    EXPECT_EQ(GetVendorOfFamily("Arria5"), "Altera");
    EXPECT_EQ(GetVendorOfFamily("Cyclone3"), "Later") << "the later folder wins";
    EXPECT_EQ(GetVendorOfFamily("Cyclone2"), "Altera") << "a file without an EDIF key changes nothing";
}

TEST(HostPathsTest, TrailingCharAndRelativePaths)
{
    EXPECT_EQ(EnsureTrailingChar("C:\\dir", '\\'), "C:\\dir\\");
    EXPECT_EQ(EnsureTrailingChar("C:\\dir\\", '\\'), "C:\\dir\\");
    EXPECT_EQ(EnsureTrailingChar("", '\\'), "\\");
    EXPECT_EQ(EnsureTrailingChar("/d", kPathSeparator), "/d/");
    struct TCase {
        const char* Path;
        bool Platform; // this platform's rule
        bool Host;     // the host's own rule
    } cases[] = {
        {"lib\\x.SchLib", true, true}, {"C:\\x", true, false}, {"\\\\server\\x", true, false},
        {"\\x", true, true},           {"/abs/x", false, true}, {"lib/x.SchLib", true, true},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(IsRelativePath(c.Path), c.Platform) << c.Path;
        EXPECT_EQ(IsRelativeHostPath(c.Path), c.Host) << c.Path;
    }
}

TEST_F(HostAccessTest, LockFiles)
{
    const fs::path file = Root / "design.SchDoc";
    WriteFile(file, "content");
    std::string computer, user;
    EXPECT_FALSE(IsFileLockedByOther(file.string(), computer, user)) << "no lock file";
    EXPECT_EQ(LockFileName(file.string()), (Root / "~$design.SchDoc_loc").string());

    const std::string self = "ComputerName=" + GetComputerNameText() + "\nUserName=" + GetUserNameText() + "\n";
    WriteFile(LockFileName(file.string()), self + "ProcessID=" + GetProcessIDText() + "\n");
    EXPECT_FALSE(IsFileLockedByOther(file.string(), computer, user)) << "locked by this very process";
    WriteFile(LockFileName(file.string()), self);
    EXPECT_FALSE(IsFileLockedByOther(file.string(), computer, user)) << "a lock without ProcessID does not lock";
    WriteFile(LockFileName(file.string()), "ComputerName=PC1\r\nUserName=bob\r\nProcessID=42\r\n");
    EXPECT_TRUE(IsFileLockedByOther(file.string(), computer, user));
    EXPECT_EQ(computer, "PC1");
    EXPECT_EQ(user, "bob");

    // Writing over a file locked by someone else reports it and changes nothing.
    TFakeDispatch workspace("workspace", &Log), messages("messages", &Log);
    Client.ReturnObject(dispid::Client_GetWorkspace, &workspace);
    workspace.ReturnObject(dispid::Workspace_GetMessagesManager, &messages);
    const fs::path replacement = Root / "new.tmp";
    WriteFile(replacement, "new");
    EXPECT_FALSE(ReplaceHostFile(replacement.string(), file.string()));
    EXPECT_FALSE(fs::exists(replacement));
    EXPECT_FALSE(SaveListToHostFile({"x"}, file.string()));
    EXPECT_EQ(ReadFile(file), "content");
    int reports = 0;
    for (const auto& call : Log)
        if (call.Object == "messages" && call.DispId == dispid::MessagesManager_AddMessage) {
            ++reports;
            EXPECT_EQ(std::get<std::string>(call.Args[1]),
                      "design.SchDoc is used by bob on PC1. You will not be able to save your changes.");
        }
    EXPECT_EQ(reports, 2);
}

TEST_F(HostAccessTest, HostAwareWriting)
{
    const fs::path target = Root / "out.qsf";
    TFakeDispatch document("document", &Log);
    Client.ReturnObject(dispid::Client_GetServerDocumentByPath, &document);
    EXPECT_TRUE(SaveListToHostFile({"line 1", "line 2"}, target.string()));
    EXPECT_EQ(ReadFile(target), "line 1\nline 2\n");
    const fs::path replacement = Root / "out.new";
    WriteFile(replacement, "replaced");
    EXPECT_TRUE(ReplaceHostFile(replacement.string(), target.string()));
    EXPECT_EQ(ReadFile(target), "replaced");
    EXPECT_FALSE(fs::exists(replacement));
    EXPECT_TRUE(ReplaceHostFile((Root / "OUT.QSF").string(), target.string())) << "same name in another case";
    EXPECT_EQ(ReadFile(target), "replaced");
    std::vector<int32_t> brackets;
    for (const auto& call : Log)
        if (call.Object == "document") brackets.push_back(call.DispId);
    EXPECT_EQ(brackets, (std::vector<int32_t>{100, 101, 100, 101})) << "every change is bracketed";
    // A folder that cannot be written: the error names the file and the old content stays.
    EXPECT_THROW(SaveListToHostFile({"x"}, (Root / "no/such/folder/f.txt").string()), std::runtime_error);
}

TEST_F(HostAccessTest, QuartusVersionAndVendorChecks)
{
    const fs::path quartus = Root / "quartus";
    WriteFile(quartus / "bin/quartus_cmd", "");
    Tools.On(509004, [&](const auto& args, com::VARIANT* r) {
        if (std::get<std::string>(args[0]) == "Altera" && std::get<std::string>(args[1]) == "Quartus_Cmd")
            com::VariantSetString(r, (quartus / "bin/quartus_cmd").string());
        return com::S_OK;
    });
    EXPECT_THROW(GetQuartusVersion(), std::runtime_error) << "a registered tool without its readme";
    WriteFile(quartus / "readme.txt", "Quartus II Version 13.1.0 Build 162\n");
    EXPECT_TRUE(VendorToolsPresent("altera"));
    EXPECT_EQ(VendorToolsDescriptor("ALTERA"), "Altera Quartus II");
    EXPECT_TRUE(VendorToolsPresent("SomeoneElse"));
    EXPECT_TRUE(VendorToolsUpToDate("SomeoneElse"));
    EXPECT_EQ(VendorToolsDescriptor("SomeoneElse"), "");
    EXPECT_FALSE(VendorToolsPresent("Actel")) << "no designer tool registered";

    struct TCase {
        const char* Text;
        double Number;
    } numbers[] = {{"9.1", 9.1}, {"10.0", 10.0}, {"13.1.0", 13.1}, {".5", 0.5}, {"12", 12.0}, {"", 100000000.0}};
    for (const TCase& c : numbers) EXPECT_DOUBLE_EQ(VersionTextToNumber(c.Text), c.Number) << c.Text;
}

TEST_F(HostAccessTest, TimerAndNotificationHandlers)
{
    TFakeDispatch timers("timers", &Log);
    Client.ReturnObject(dispid::Client_GetTimerManager, &timers);
    timers.ReturnInt(dispid::TimerManager_CreateTimer, 17);
    int fired = 0;
    TTimerHandler* timer = TTimerHandler::Create(100, true, [&](int32_t id) { fired += id; });
    EXPECT_EQ(timer->TimerID(), 17);
    com::VARIANT arg{};
    arg.vt = com::VT_I4;
    arg.lVal = 17;
    com::DISPPARAMS params{&arg, nullptr, 1, 0};
    EXPECT_EQ(timer->Invoke(267, com::IID_NULL, 0, 1, &params, nullptr, nullptr, nullptr), com::S_OK);
    EXPECT_EQ(fired, 17);
    EXPECT_TRUE(timer->SupportsServiceName("timerhandler"));
    timer->Destroy();
    ASSERT_FALSE(Log.empty());
    EXPECT_EQ(Log.back().DispId, dispid::TimerManager_DestroyTimer);

    TNotificationHandler* notifications = TNotificationHandler::Create([](com::IDispatch*) {});
    EXPECT_EQ(Log.back().DispId, dispid::Client_RegisterNotificationHandler);
    notifications->Destroy();
    EXPECT_EQ(Log.back().DispId, dispid::Client_UnregisterNotificationHandler);
}

TEST(HostServicesTest, MessagesUseDefaultCaptions)
{
    std::vector<std::string> shown;
    SetMessagePresenter([&](TMessageKind, const std::string& text, const std::string& caption) {
        shown.push_back(caption + ":" + text);
    });
    ShowWarningMessage("careful");
    ShowErrorMessage("broken", "Custom");
    ShowInformationMessage("fyi");
    SetMessagePresenter(nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"Warning:careful", "Custom:broken", "Information:fyi"}));
}

TEST(HostServicesTest, WithoutClientEverythingIsQuiet)
{
    SetClientForTesting(nullptr);
    std::string parameters = "A=1";
    RunProcess("Any:Process", parameters);
    EXPECT_EQ(parameters, "A=1");
    EXPECT_EQ(GetDialogParentWindow(), 0);
    SetStatusBarText(2, "quiet");
    EXPECT_FALSE(IsSilentMode());
    EXPECT_EQ(GetJTagPortCount(), 0);
    EXPECT_EQ(FindJTagPortIndex(THostObject()), -1);
    EXPECT_TRUE(GetWorkspace().Empty());
}

} // namespace
