// Finding BSDL files: library paths, the temporary folder, zip archives
// unpacked flat into a folder, and archives that try to write elsewhere.
#include "bsdl/BsdlLookup.h"
#include "host/HostAccess.h"
#include "tests/bsdl/BsdlTestSupport.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using namespace bsdl;

namespace {

struct TZipEntry {
    TZipEntry(std::string name, std::string content, mode_t type = AE_IFREG, std::string link = {})
        : Name(std::move(name)), Content(std::move(content)), Type(type), Link(std::move(link))
    {
    }
    std::string Name;
    std::string Content;
    mode_t Type;
    std::string Link; // symbolic link target
};

// Writes a zip archive with libarchive's writer.
void WriteZip(const std::string& path, const std::vector<TZipEntry>& entries)
{
    archive* writer = archive_write_new();
    ASSERT_EQ(archive_write_set_format_zip(writer), ARCHIVE_OK);
    ASSERT_EQ(archive_write_open_filename(writer, path.c_str()), ARCHIVE_OK);
    for (const TZipEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.Name.c_str());
        archive_entry_set_filetype(entry, e.Type);
        archive_entry_set_perm(entry, 0644);
        if (e.Type == AE_IFLNK) archive_entry_set_symlink(entry, e.Link.c_str());
        archive_entry_set_size(entry, e.Type == AE_IFREG ? static_cast<la_int64_t>(e.Content.size()) : 0);
        ASSERT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << e.Name;
        if (e.Type == AE_IFREG && !e.Content.empty())
            archive_write_data(writer, e.Content.data(), e.Content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> Listing(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(LookupTest, DetermineFullPath)
{
    const struct {
        const char* Name;
        const char* Library;
        std::string Expected;
    } cases[] = {
        {"5AGTFC7H3F35.bsd", "", hostaccess::GetLibraryFolder() + "BSDL/Altera/Arria5/5AGTFC7H3F35.bsd"},
        {"5AGTFC7H3F35.bsd", "/opt/lib", "/opt/lib/BSDL/Altera/Arria5/5AGTFC7H3F35.bsd"},
        {"5AGTFC7H3F35.bsd", "/opt/lib/", "/opt/lib/BSDL/Altera/Arria5/5AGTFC7H3F35.bsd"},
        {"/boards/x.bsd", "", "/boards/x.bsd"},
        {"C:\\Library\\x.bsd", "", "C:\\Library\\x.bsd"},
        {"\\\\server\\share\\x.bsd", "/opt/lib", "\\\\server\\share\\x.bsd"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetermineFullPath(c.Name, "Altera", "Arria5", c.Library), c.Expected) << c.Name;
    EXPECT_EQ(hostaccess::GetLibraryFolder(), hostaccess::GetModuleFolder() + "Library/");
}

TEST(LookupTest, FindsTheFileItselfThenTheTemporaryCopy)
{
    bsdltest::TTempFolder temp;
    const std::string library = temp.Folder() + "lib/";
    fs::create_directories(library);
    WriteText(library + "a.bsd", "a");
    EXPECT_EQ(FindFullBSDLPath(library + "a.bsd"), library + "a.bsd");
    WriteText(temp.Folder() + "b.bsd", "b");
    EXPECT_EQ(FindFullBSDLPath(library + "b.bsd"), temp.Folder() + "b.bsd");
    EXPECT_EQ(FindFullBSDLPath(library + "c.bsd"), "");
}

TEST(LookupTest, EmptyOrFolderPathsTouchNothing)
{
    bsdltest::TTempFolder temp;
    const std::string library = temp.Folder() + "lib/";
    fs::create_directories(library);
    WriteZip(library + ".Zip", {{"x.bsd", "x"}});
    const auto before = Listing(temp.Path);
    EXPECT_EQ(FindFullBSDLPath(""), "");
    EXPECT_EQ(FindFullBSDLPath(library), "");
    EXPECT_EQ(Listing(temp.Path), before);
}

TEST(LookupTest, AZipTwinIsUnpackedIntoTheTemporaryFolder)
{
    bsdltest::TTempFolder temp;
    const std::string library = temp.Folder() + "lib/";
    fs::create_directories(library);
    WriteZip(library + "dev.Zip", {{"docs/readme.txt", "r"}, {"bsdl/dev.bsd", "entity dev is end;"}});
    EXPECT_EQ(FindFullBSDLPath(library + "dev.bsd"), temp.Folder() + "dev.bsd");
    EXPECT_EQ(bsdltest::ReadFile(temp.Folder() + "dev.bsd"), "entity dev is end;");
    EXPECT_TRUE(fs::exists(temp.Folder() + "readme.txt")) << "every entry lands flat in the folder";
    EXPECT_FALSE(fs::exists(temp.Folder() + "bsdl"));

    // An archive without the name: nothing found, its other files stay.
    WriteZip(library + "other.zip", {{"unrelated.bsd", "u"}});
    EXPECT_EQ(FindFullBSDLPath(library + "other.bsd"), "");
    EXPECT_TRUE(fs::exists(temp.Folder() + "unrelated.bsd"));
}

TEST(LookupTest, AnArchiveThatCannotBeReadFailsQuietly)
{
    bsdltest::TTempFolder temp;
    const std::string library = temp.Folder() + "lib/";
    fs::create_directories(library);
    WriteText(library + "bad.Zip", "PK\x03\x04 this is not really a zip archive");
    EXPECT_EQ(FindFullBSDLPath(library + "bad.bsd"), "");
    std::string reason;
    EXPECT_FALSE(ExtractArchive(library + "bad.Zip", temp.Folder(), &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(ExtractArchive(library + "missing.Zip", temp.Folder(), &reason));
    EXPECT_FALSE(ExtractArchive(library + "bad.Zip", temp.Folder() + "no-such-folder/"));

    // A truncated archive: what was read before the damage may stay, the result says it failed.
    WriteZip(library + "whole.zip", {{"one.bsd", std::string(5000, 'a')}, {"two.bsd", std::string(5000, 'b')}});
    const std::string bytes = bsdltest::ReadFile(library + "whole.zip");
    WriteText(library + "cut.zip", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(ExtractArchive(library + "cut.zip", temp.Folder()));
}

TEST(LookupTest, ExistingFilesAreReplaced)
{
    bsdltest::TTempFolder temp;
    const std::string folder = temp.Folder() + "out/";
    fs::create_directories(folder);
    WriteText(folder + "dev.bsd", "old");
    WriteZip(temp.Folder() + "a.zip", {{"dev.bsd", "new"}, {"sub/dev.bsd", "newer"}});
    EXPECT_TRUE(ExtractArchive(temp.Folder() + "a.zip", folder));
    EXPECT_EQ(bsdltest::ReadFile(folder + "dev.bsd"), "newer") << "the later entry of the same name wins";
    EXPECT_EQ(Listing(folder), (std::set<std::string>{"dev.bsd"}));
}

// An archive that tries to write outside the folder writes nothing there.
TEST(LookupTest, HostileArchivesStayInTheirFolder)
{
    bsdltest::TTempFolder temp;
    const std::string folder = temp.Folder() + "unpack/";
    const std::string outside = temp.Folder() + "outside/";
    fs::create_directories(folder);
    fs::create_directories(outside);
    WriteText(outside + "victim.txt", "keep");
    // A link planted in the folder under a name the archive uses.
    fs::create_symlink(outside + "victim.txt", folder + "planted.bsd");

    WriteZip(temp.Folder() + "hostile.zip",
             {
                 {"../escape.bsd", "1"},
                 {"../../outside/victim.txt", "2"},
                 {"/abs/path/absolute.bsd", "3"},
                 {"..\\..\\windows.bsd", "4"},
                 {"C:drive.bsd", "5"},
                 {"sub/..", "6"},
                 {"NUL.bsd", "7"},
                 {"com1", "8"},
                 {"line\nbreak.bsd", "9"},
                 {"link.bsd", "", AE_IFLNK, outside + "victim.txt"},
                 {"dir/", "", AE_IFDIR},
                 {"planted.bsd", "10"},
                 {"plain.bsd", "11"},
             });
    std::string reason;
    EXPECT_FALSE(ExtractArchive(temp.Folder() + "hostile.zip", folder, &reason)) << "some entries were left out";
    EXPECT_FALSE(reason.empty());

    EXPECT_EQ(bsdltest::ReadFile(outside + "victim.txt"), "keep");
    EXPECT_EQ(Listing(outside), (std::set<std::string>{"victim.txt"}));
    EXPECT_EQ(Listing(temp.Path), (std::set<std::string>{"hostile.zip", "outside", "unpack"}));
    EXPECT_EQ(Listing(folder), (std::set<std::string>{"escape.bsd", "victim.txt", "absolute.bsd", "windows.bsd",
                                                      "planted.bsd", "plain.bsd"}));
    EXPECT_FALSE(fs::is_symlink(folder + "planted.bsd")) << "the planted link is replaced, not followed";
    EXPECT_EQ(bsdltest::ReadFile(folder + "planted.bsd"), "10");
    EXPECT_EQ(bsdltest::ReadFile(folder + "victim.txt"), "2");
}

TEST(LookupTest, SafeFlatFileNames)
{
    const struct {
        const char* Name;
        bool Safe;
    } cases[] = {
        {"5AGTFC7H3F35.bsd", true}, {".hidden.bsd", true}, {"", false},         {".", false},
        {"..", false},              {"a/b", false},         {"a\\b", false},     {"c:x", false},
        {"con", false},             {"Con.bsd", false},     {"lpt9.txt", false}, {"console.bsd", true},
        {"com10", true},            {"a\tb", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafeFlatFileName(c.Name), c.Safe) << c.Name;
}

} // namespace
