// Shared helpers of the boundary-scan tests: dispatch calls as a host makes them,
// reading a text with the BSDL reader, a private temporary folder.
#pragma once

#include "bsdl/BsdlParser.h"
#include "plugin/com/Bstr.h"
#include "plugin/com/Variant.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace bsdltest {

// Invokes a DISPID with arguments given in the operation's order; returns the status.
inline com::HRESULT Invoke(com::IDispatch* object, int32_t dispid, std::vector<int32_t> args = {},
                           com::VARIANT* result = nullptr)
{
    std::vector<com::VARIANT> packed(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        com::VariantInit(&packed[args.size() - 1 - i]);
        com::VariantSetInt32(&packed[args.size() - 1 - i], args[i]);
    }
    com::DISPPARAMS params{packed.empty() ? nullptr : packed.data(), nullptr, static_cast<uint32_t>(packed.size()), 0};
    com::EXCEPINFO info{};
    const com::HRESULT hr =
        object->Invoke(dispid, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, result, &info, nullptr);
    com::BstrFree(info.bstrDescription);
    com::BstrFree(info.bstrSource);
    return hr;
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A reader run over a text, its entities kept.
struct TRead {
    bsdl::TVHDLEntityList Entities;
    std::vector<std::string> Log;
    std::unique_ptr<bsdl::TBSDLParser> Reader;
    bsdl::TBSDLEntity* Entity() const { return bsdl::FirstBSDLEntity(Entities); }
};

inline std::unique_ptr<TRead> ReadBsdl(std::string text, std::string path = "test.bsd")
{
    auto read = std::make_unique<TRead>();
    read->Reader = std::make_unique<bsdl::TBSDLParser>(&read->Log, read->Entities, std::move(path));
    read->Reader->LogToFile = false;
    read->Reader->RunText(std::move(text));
    return read;
}

// A fresh folder that is the system's temporary folder while the object lives.
class TTempFolder {
public:
    TTempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bsdltest-XXXXXX").string();
        Path = mkdtemp(pattern.data()) ? pattern : std::string();
        const char* old = std::getenv("TMPDIR");
        FOld = old ? old : "";
        FHadOld = old != nullptr;
        setenv("TMPDIR", Path.c_str(), 1);
    }
    ~TTempFolder()
    {
        if (FHadOld) setenv("TMPDIR", FOld.c_str(), 1);
        else unsetenv("TMPDIR");
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string Folder() const { return Path + "/"; }
    std::string Path;

private:
    std::string FOld;
    bool FHadOld = false;
};

} // namespace bsdltest
