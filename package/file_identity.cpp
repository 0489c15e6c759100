#include "package/file_identity.h"

#include "archiver/core/crc32.h"

namespace setup {

std::uint32_t contentCrc(const std::string& bytes) {
    return archiver::crc32(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

bool holdsEntry(FileSystem& files, const std::string& path, const ArchiveEntry& entry) {
    if (entry.folder) return false;
    Result<std::string> bytes = files.readFileW(path);
    if (!bytes || bytes->size() != entry.size) return false;
    if (!entry.crc) return entry.size == 0;
    return contentCrc(*bytes) == *entry.crc;
}

}  // namespace setup
