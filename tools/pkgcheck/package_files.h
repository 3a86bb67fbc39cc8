// Files of a driver package folder, found as Windows finds them: the INF's
// paths are backslash-separated and compared without regard to case, also on
// a host whose file system tells case apart. Windows-free (POSIX directory
// reads, which MinGW-w64 provides as well).
#pragma once

#include <string>

namespace zk::pkgcheck {

// The file at relative (parts separated by "\" or "/", empty parts and "."
// skipped) below folder, found part by part without regard to case: an exact
// name wins over one that differs only in case. *path is the path to open,
// *shown the relative path as the folder spells it, with "\" between parts.
bool FindPackageFile(const std::string& folder, const std::string& relative, std::string* path,
                     std::string* shown);

bool IsDirectory(const std::string& path);

// False when the file cannot be opened or read to its end.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// The one file whose name ends in ".inf" (any case) in folder. False with
// *error set when there is none or more than one.
bool FindInfInFolder(const std::string& folder, std::string* name, std::string* error);

}  // namespace zk::pkgcheck
