#include "host/HostFiles.h"

#include "host/HostAccess.h"
#include "plugin/frame/SupportService.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace hostaccess {

namespace fs = std::filesystem;
using tavrel::SameText;

namespace {

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

void RemoveQuietly(const std::string& path)
{
    std::error_code ec;
    fs::remove(path, ec);
}

// Brackets a change of a file the host may have open as a document.
class TExternalUpdate {
public:
    explicit TExternalUpdate(const std::string& file)
    {
        if (const THostObject client = GetClient())
            FDocument = client.CallObject(dispid::Client_GetServerDocumentByPath, {file});
        if (FDocument) FDocument.Call(dispid::ServerDocument_BeginExternalUpdate);
    }
    ~TExternalUpdate()
    {
        try {
            if (FDocument) FDocument.Call(dispid::ServerDocument_EndExternalUpdate);
        } catch (...) {
        }
    }

private:
    THostObject FDocument;
};

} // namespace

std::string LockFileName(const std::string& file)
{
    const fs::path path(file);
    return (path.parent_path() / ("~$" + path.filename().string() + "_loc")).string();
}

bool ReadLockFile(const std::string& file, TFileOwnershipDetails& details)
{
    details = {};
    const std::string lock = LockFileName(file);
    if (!Exists(lock)) return false;
    std::ifstream in(lock);
    if (!in) throw std::runtime_error("Cannot open file \"" + lock + "\"");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto valueAfter = [&](size_t keyLength) { return line.size() > keyLength ? line.substr(keyLength + 1) : ""; };
        if (line.starts_with("ComputerName")) details.ComputerName = valueAfter(12);
        else if (line.starts_with("UserName")) details.UserName = valueAfter(8);
        else if (line.starts_with("ProcessID")) details.ProcessID = valueAfter(9);
    }
    return !details.ComputerName.empty() && !details.UserName.empty() && !details.ProcessID.empty();
}

bool IsFileLockedByOther(const std::string& file, std::string& computerName, std::string& userName)
{
    computerName.clear();
    userName.clear();
    try {
        TFileOwnershipDetails details;
        if (!ReadLockFile(file, details)) return false;
        computerName = details.ComputerName;
        userName = details.UserName;
        return !(SameText(details.ComputerName, GetComputerNameText()) && SameText(details.UserName, GetUserNameText()) &&
                 SameText(details.ProcessID, GetProcessIDText()));
    } catch (...) {
        // A lock file that cannot be read counts as someone else's lock.
        return true;
    }
}

void ReportLockedFile(const std::string& file, const std::string& computerName, const std::string& userName)
{
    if (IsSilentMode()) return;
    const THostObject client = GetClient();
    if (!client) return;
    const THostObject workspace = client.CallObject(dispid::Client_GetWorkspace);
    if (!workspace) return;
    const THostObject messages = workspace.CallObject(dispid::Workspace_GetMessagesManager);
    if (!messages) return;
    const std::string name = fs::path(file).filename().string();
    messages.Call(dispid::MessagesManager_AddMessage,
                  {std::string("[Locked File]"),
                   name + " is used by " + userName + " on " + computerName + ". You will not be able to save your changes.",
                   client.CallString(dispid::Client_GetProductName), file, std::string("WorkspaceManager:OpenObject"),
                   "FileName=" + file, int32_t{73}, false, std::string(), std::string()});
}

std::string GetComputerNameText()
{
    static const std::string name = [] {
        char buffer[256] = {};
        if (gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
        return std::string(buffer);
    }();
    return name;
}

std::string GetUserNameText()
{
    static const std::string name = [] {
        if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return std::string(entry->pw_name);
        const char* user = std::getenv("USER");
        return std::string(user ? user : "");
    }();
    return name;
}

std::string GetProcessIDText()
{
    static const std::string id = std::to_string(getpid());
    return id;
}

bool ReplaceHostFile(const std::string& newFile, const std::string& target)
{
    if (SameText(newFile, target)) return true;
    std::string computer, user;
    if (IsFileLockedByOther(target, computer, user)) {
        ReportLockedFile(target, computer, user);
        RemoveQuietly(newFile);
        return false;
    }
    bool result = true;
    TExternalUpdate update(target);
    if (Exists(newFile)) {
        std::error_code ec;
        fs::rename(newFile, target, ec); // replaces the target in one step
        if (ec) {
            result = false;
            RemoveQuietly(newFile);
        }
    }
    return result;
}

bool SaveListToHostFile(const std::vector<std::string>& lines, const std::string& target)
{
    std::string computer, user;
    if (IsFileLockedByOther(target, computer, user)) {
        ReportLockedFile(target, computer, user);
        return false;
    }
    TExternalUpdate update(target);
    const std::string temporary = target + ".saving";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("Cannot create file \"" + target + "\". " + std::strerror(errno));
        for (const std::string& line : lines) out << line << '\n';
        out.flush();
        if (!out) {
            out.close();
            RemoveQuietly(temporary);
            throw std::runtime_error("Cannot write file \"" + target + "\"");
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        RemoveQuietly(temporary);
        throw std::runtime_error("Cannot write file \"" + target + "\": " + ec.message());
    }
    return true;
}

} // namespace hostaccess
