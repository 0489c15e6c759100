// Reads the 7z container: signature header, (possibly packed) header, folders and entries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archiver/core/streams.h"

namespace archiver {

// Entries, folders and streams one archive may list: far beyond any driver package, and
// small enough that the catalogue fits in a 32-bit process whatever the header claims.
constexpr size_t kMaxItems = size_t{1} << 18;

struct CoderInfo {
    uint64_t method = 0;  // method id bytes, big-endian, as in the archive
    unsigned method_size = 0;
    std::vector<uint8_t> properties;
    uint32_t num_inputs = 1;  // packed-side streams; every coder has one unpacked output
};

struct BindPair {
    uint32_t input;   // coder input (over all coders of the folder) ...
    uint32_t output;  // ... fed by this coder's output
};

// A folder: a graph of coders whose single unbound output is the folder's data.
struct FolderInfo {
    std::vector<CoderInfo> coders;
    std::vector<BindPair> bind_pairs;
    std::vector<uint32_t> packed_inputs;  // coder inputs fed straight from packed streams
    std::vector<uint64_t> unpack_sizes;   // per coder output
    uint32_t main_output = 0;
    bool has_crc = false;
    uint32_t crc = 0;
    size_t first_pack_stream = 0;
    uint64_t unpack_size() const { return unpack_sizes[main_output]; }
};

struct StreamsInfo {
    std::vector<uint64_t> pack_offsets;  // absolute offsets in the archive
    std::vector<uint64_t> pack_sizes;
    std::vector<FolderInfo> folders;
    std::vector<uint64_t> streams_per_folder;  // substreams: one per non-empty file
    std::vector<uint64_t> stream_sizes;
    std::vector<bool> stream_has_crc;
    std::vector<uint32_t> stream_crcs;
};

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

// Whether a method id is one of 7-Zip's ciphers rather than a coder.
bool is_encryption(uint64_t id);

// Human-readable method name, e.g. "LZMA2", "PPMd", or "method 0x040108".
std::string method_name(uint64_t id);

}  // namespace archiver
