#include "bsdl/BsdlLookup.h"

#include "host/HostAccess.h"
#include "plugin/frame/SupportService.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace bsdl {

namespace {

constexpr int64_t kMaxEntryBytes = int64_t{64} << 20;
constexpr int64_t kMaxTotalBytes = int64_t{512} << 20;
constexpr int kMaxEntries = 65536;
constexpr char kSeparator = hostaccess::kPathSeparator;

bool IsRegularFile(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

// The file-name part of a path (after the last separator).
std::string FileNamePart(const std::string& path)
{
    const size_t slash = path.find_last_of(kSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with its extension replaced (the extension starts at the last "." of the file name).
std::string ChangeExtension(const std::string& path, const std::string& extension)
{
    const size_t slash = path.find_last_of(kSeparator);
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
    return path.substr(0, dot) + extension;
}

bool IsDeviceName(const std::string& name)
{
    // The stem before the first "." decides, as on the host's platform.
    const std::string stem = name.substr(0, name.find('.'));
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices)
        if (tavrel::SameText(stem, device)) return true;
    if (stem.size() == 4 && stem[3] >= '0' && stem[3] <= '9' &&
        (tavrel::SameText(stem.substr(0, 3), "COM") || tavrel::SameText(stem.substr(0, 3), "LPT")))
        return true;
    return false;
}

// A unique name for a file being written into the folder.
std::string PartialName()
{
    static std::atomic<unsigned> counter{0};
    return ".bsdl-unpack-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

class TArchiveReader {
public:
    TArchiveReader() : FArchive(archive_read_new()) {}
    ~TArchiveReader()
    {
        if (FArchive) archive_read_free(FArchive);
    }
    TArchiveReader(const TArchiveReader&) = delete;
    TArchiveReader& operator=(const TArchiveReader&) = delete;
    archive* Get() const { return FArchive; }
    std::string Error() const
    {
        const char* text = FArchive ? archive_error_string(FArchive) : nullptr;
        return text ? text : "the archive cannot be read";
    }

private:
    archive* FArchive;
};

class TFolderHandle {
public:
    explicit TFolderHandle(const std::string& folder) : FFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~TFolderHandle()
    {
        if (FFd >= 0) ::close(FFd);
    }
    TFolderHandle(const TFolderHandle&) = delete;
    TFolderHandle& operator=(const TFolderHandle&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

enum class TEntryResult { Written, Refused, ReadError };

// Copies the current entry's data into the folder under `name`.
TEntryResult WriteEntry(archive* reader, int folder, const std::string& name, int64_t& total, std::string& why)
{
    const std::string partial = PartialName();
    const int fd = ::openat(folder, partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = name + ": cannot be written";
        return TEntryResult::Refused;
    }
    std::vector<char> buffer(64 * 1024);
    int64_t size = 0;
    TEntryResult result = TEntryResult::Written;
    for (;;) {
        const la_ssize_t n = archive_read_data(reader, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            why = name + ": " + (archive_error_string(reader) ? archive_error_string(reader) : "unreadable data");
            result = TEntryResult::ReadError;
            break;
        }
        size += n;
        total += n;
        if (size > kMaxEntryBytes || total > kMaxTotalBytes) {
            why = name + ": too large";
            result = TEntryResult::Refused;
            break;
        }
        if (!WriteAll(fd, buffer.data(), static_cast<size_t>(n))) {
            why = name + ": cannot be written";
            result = TEntryResult::Refused;
            break;
        }
    }
    if (::close(fd) != 0 && result == TEntryResult::Written) {
        why = name + ": cannot be written";
        result = TEntryResult::Refused;
    }
    // Renaming replaces whatever entry the name has (a link is replaced, not followed).
    if (result == TEntryResult::Written && ::renameat(folder, partial.c_str(), folder, name.c_str()) != 0) {
        why = name + ": cannot replace the existing entry";
        result = TEntryResult::Refused;
    }
    if (result != TEntryResult::Written) ::unlinkat(folder, partial.c_str(), 0);
    return result;
}

} // namespace

bool IsSafeFlatFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':') return false;
    }
    return !IsDeviceName(name);
}

bool ExtractArchive(const std::string& archiveName, const std::string& folder, std::string* reason)
{
    std::string why;
    auto fail = [&](std::string text) {
        if (reason) *reason = std::move(text);
        return false;
    };
    if (!IsRegularFile(archiveName)) return fail("no archive " + archiveName);
    TFolderHandle target(folder);
    if (target.Get() < 0) return fail("no folder " + folder);

    TArchiveReader reader;
    if (!reader.Get()) return fail("the archive library cannot be used");
    archive_read_support_format_zip(reader.Get());
    if (archive_read_open_filename(reader.Get(), archiveName.c_str(), 64 * 1024) != ARCHIVE_OK)
        return fail(reader.Error());

    bool complete = true;
    int64_t total = 0;
    int entries = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.Get(), &entry);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN || !entry) {
            complete = false;
            why = reader.Error();
            break;
        }
        if (++entries > kMaxEntries) {
            complete = false;
            why = "too many entries";
            break;
        }
        const char* path = archive_entry_pathname(entry);
        const std::string full = path ? path : "";
        const std::string name = full.substr(full.find_last_of("/\\") == std::string::npos ? 0
                                                                                          : full.find_last_of("/\\") + 1);
        // Folders are dropped with every path; anything but a plain file is left out.
        if (archive_entry_filetype(entry) == AE_IFDIR) continue;
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) ||
            archive_entry_symlink(entry) || !IsSafeFlatFileName(name)) {
            complete = false;
            why = "entry '" + full + "' left out";
            continue;
        }
        const TEntryResult result = WriteEntry(reader.Get(), target.Get(), name, total, why);
        if (result == TEntryResult::Written) continue;
        complete = false;
        if (result == TEntryResult::ReadError || total > kMaxTotalBytes) break;
    }
    if (!complete) return fail(why);
    if (reason) reason->clear();
    return true;
}

std::string DetermineFullPath(const std::string& bsdlFileName, const std::string& vendorName,
                              const std::string& familyName, const std::string& libraryFolder)
{
    const bool relative = hostaccess::IsRelativePath(bsdlFileName) && hostaccess::IsRelativeHostPath(bsdlFileName);
    if (!relative) return bsdlFileName;
    std::string base = libraryFolder.empty() ? hostaccess::GetLibraryFolder() : libraryFolder;
    base = hostaccess::EnsureTrailingChar(base, kSeparator);
    return base + "BSDL" + kSeparator + vendorName + kSeparator + familyName + kSeparator + bsdlFileName;
}

std::string FindFullBSDLPath(const std::string& sourcePath)
{
    const std::string name = FileNamePart(sourcePath);
    if (name.empty()) return {};
    const std::string temporary = hostaccess::GetTempFolder();
    const std::string candidate = temporary + name;
    if (IsRegularFile(sourcePath)) return sourcePath;
    if (IsRegularFile(candidate)) return candidate;
    // The archive is "<name>.Zip"; a file system that tells letter cases apart may hold ".zip".
    for (const char* extension : {".Zip", ".zip", ".ZIP"}) {
        const std::string archive = ChangeExtension(sourcePath, extension);
        if (!IsRegularFile(archive)) continue;
        ExtractArchive(archive, temporary);
        return IsRegularFile(candidate) ? candidate : std::string();
    }
    return {};
}

} // namespace bsdl
