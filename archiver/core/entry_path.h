// Archive entry names become paths under the destination only if they cannot leave it
// and mean the same on Windows as on any other host.
#pragma once
#include <string>

namespace archiver {

// Returns the entry's path with '/' separators and no "." parts, or raises
// ArchiveError(UnsafePath) saying why the name is refused.
std::string safe_relative_path(const std::string& name);

// The last component of a path made by safe_relative_path.
std::string base_name(const std::string& path);

}  // namespace archiver
