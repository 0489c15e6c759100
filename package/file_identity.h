#pragma once

#include <string>

#include "platform/archiver_dll.h"
#include "platform/files.h"

namespace setup {

// Whether the file at a path holds exactly the bytes of a package entry: the same size and
// the same CRC-32. An entry whose CRC the archive does not keep matches only when empty.
bool holdsEntry(FileSystem& files, const std::string& path, const ArchiveEntry& entry);

// CRC-32 of a run of bytes, as the package's archive computes it.
std::uint32_t contentCrc(const std::string& bytes);

}  // namespace setup
