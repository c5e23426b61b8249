// Finding a device's BSDL file: in the plug-in's library folder, in the system's
// temporary folder, or inside a zip archive of the same name next to where the
// file should be, which is then unpacked into the temporary folder.
#pragma once

#include <string>

namespace bsdl {

// The full path of a description file: a relative name goes below
// "<library folder>BSDL/<vendor>/<family>/" (the plug-in's Library folder when
// `libraryFolder` is empty); an absolute one ("/...", or a host path with a drive
// or "\\") is returned unchanged.
std::string DetermineFullPath(const std::string& bsdlFileName, const std::string& vendorName,
                              const std::string& familyName, const std::string& libraryFolder = {});

// An existing file with the file name of `sourcePath`: the path itself, else the
// same name in the temporary folder, else (after unpacking "<path without
// extension>.Zip" into the temporary folder) the unpacked file. Empty when none.
std::string FindFullBSDLPath(const std::string& sourcePath);

// Unpacks every file of a zip archive directly into `folder` (paths inside the
// archive are dropped), replacing files of the same name. Nothing is ever written
// outside the folder: entries that are not plain files (links, devices, folders)
// and names that cannot be a file name there (empty, ".", "..", a drive, a control
// character, a device name such as "NUL") are left out, and a file is replaced by
// renaming a finished copy over it, so a link planted in the folder is replaced,
// not followed. Entries above 64 MiB, more than 512 MiB in all and more than
// 65536 entries are refused.
// True when every entry was unpacked. An archive that is missing or cannot be
// read gives false; `reason`, when given, receives why.
bool ExtractArchive(const std::string& archiveName, const std::string& folder, std::string* reason = nullptr);

// True when `name` may be written as a file of its own into a folder (see ExtractArchive).
bool IsSafeFlatFileName(const std::string& name);

} // namespace bsdl
