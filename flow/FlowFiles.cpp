#include "flow/FlowFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavrel {

namespace {

size_t NameStart(const std::string& path)
{
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

size_t ExtensionStart(const std::string& path)
{
    const size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < NameStart(path) ? std::string::npos : dot;
}

} // namespace

std::string ExtractFileExt(const std::string& path)
{
    const size_t dot = ExtensionStart(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension)
{
    const size_t dot = ExtensionStart(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + extension;
}

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

bool FileExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TDateTime FileDateTime(const std::string& path)
{
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return 0;
    const double seconds = static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
    return 25569.0 + seconds / 86400.0;
}

TStringList ReadTextLines(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("Cannot read the file " + path + ": " + std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw std::runtime_error("Cannot read the file " + path);
    return SplitLines(content.str());
}

} // namespace tavrel
