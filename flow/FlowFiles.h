// File names and dates as the flow steps use them: every file of a step is the
// design's base path with another extension.
#pragma once

#include "flow/ProcessFlow.h"
#include "options/TextLines.h"

#include <string>

namespace tavrel {

// The extension is the part from the last "." of the file name (not of a folder).
std::string ExtractFileExt(const std::string& path);
// The path with its extension replaced (or, without one, with `extension` added).
std::string ChangeFileExt(const std::string& path, const std::string& extension);
std::string ExtractFileName(const std::string& path);
// The folder part, with its trailing separator; empty for a bare file name.
std::string ExtractFilePath(const std::string& path);

bool FileExists(const std::string& path);
// The file's modification time as a host date; 0 when it does not exist.
TDateTime FileDateTime(const std::string& path);
// The lines of a text file; raises an error naming the file when it cannot be read.
TStringList ReadTextLines(const std::string& path);

} // namespace tavrel
