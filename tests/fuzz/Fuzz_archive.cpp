// Any bytes unpacked as a zip archive: nothing may be written outside the
// target folder, and what is written there is plain files only.
#include "bsdl/BsdlLookup.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct TFolders {
    TFolders()
    {
        std::string pattern = (fs::temp_directory_path() / "fuzz-archive-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        Root = pattern;
        Archive = Root / "input.zip";
        Target = Root / "unpack";
    }
    ~TFolders()
    {
        std::error_code ec;
        fs::remove_all(Root, ec);
    }
    fs::path Root, Archive, Target;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TFolders folders;
    std::error_code ec;
    fs::remove_all(folders.Target, ec);
    fs::create_directories(folders.Target);
    std::ofstream(folders.Archive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    bsdl::ExtractArchive(folders.Archive.string(), folders.Target.string() + "/");
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(folders.Root)) {
        (void)entry;
        ++entries;
    }
    if (entries != 2) std::abort(); // the archive and the target folder, nothing else
    for (const auto& entry : fs::directory_iterator(folders.Target))
        if (!entry.is_regular_file() || entry.is_symlink()) std::abort();
    return 0;
}
