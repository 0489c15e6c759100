// Reads the 7z container: signature header, (possibly packed) header, folders and entries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archiver/core/folder_info.h"
#include "archiver/core/streams.h"

namespace archiver {

// Entries, folders and streams one archive may list: far beyond any driver package, and
// small enough that the catalogue fits in a 32-bit process whatever the header claims.
constexpr size_t kMaxItems = size_t{1} << 18;

struct Entry {
    std::string name;  // UTF-8, as stored (separators not yet checked)
    bool is_directory = false;
    bool has_stream = false;
    bool is_anti = false;
    uint64_t size = 0;
    bool has_crc = false;
    uint32_t crc = 0;
    bool has_mtime = false;
    uint64_t mtime = 0;  // FILETIME: 100 ns units since 1601
    bool has_attributes = false;
    uint32_t attributes = 0;
    size_t folder = SIZE_MAX;  // folder holding the data, for entries with a stream
};

struct ArchiveDatabase {
    StreamsInfo streams;
    std::vector<Entry> entries;
};

// Parses the whole catalogue. Raises ArchiveError for anything malformed or unsupported.
ArchiveDatabase read_archive(ArchiveSource& source);

}  // namespace archiver
