// Writing files the host may have open: respect another user's lock file, and
// bracket the change so an open document in the host picks it up.
#pragma once

#include <string>
#include <vector>

namespace hostaccess {

struct TFileOwnershipDetails {
    std::string ComputerName;
    std::string UserName;
    std::string ProcessID;
};

// The lock file of /d/name.ext is /d/~$name.ext_loc.
std::string LockFileName(const std::string& file);
bool ReadLockFile(const std::string& file, TFileOwnershipDetails& details);
bool IsFileLockedByOther(const std::string& file, std::string& computerName, std::string& userName);
void ReportLockedFile(const std::string& file, const std::string& computerName, const std::string& userName);

std::string GetComputerNameText();
std::string GetUserNameText();
std::string GetProcessIDText();

// Moves a finished file over its target; false (and NewFile removed) when the
// target is locked by someone else or the move fails.
bool ReplaceHostFile(const std::string& newFile, const std::string& target);
// Saves lines to the target (each followed by a line break); false when the
// target is locked by someone else. The target is replaced only once the new
// content is completely written, so a failed save leaves the old file intact;
// a failed save raises its error.
bool SaveListToHostFile(const std::vector<std::string>& lines, const std::string& target);

} // namespace hostaccess
