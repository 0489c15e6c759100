// The coders, folders and packed streams a 7z archive's header lists, and the names of
// its methods: what the catalogue reader fills in and the folder decoder works from.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace archiver {

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

// Whether a method id is one of 7-Zip's ciphers rather than a coder.
bool is_encryption(uint64_t id);

// Human-readable method name, e.g. "LZMA2", "PPMd", or "method 0x040108".
std::string method_name(uint64_t id);

}  // namespace archiver
