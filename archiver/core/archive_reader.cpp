#include "archiver/core/archive_reader.h"

#include <algorithm>
#include <cstring>

#include "archiver/core/archive_error.h"
#include "archiver/core/crc32.h"
#include "archiver/core/folder_decoder.h"
#include "archiver/core/text.h"

namespace archiver {
namespace {

enum Nid : uint64_t {
    kEnd = 0x00, kHeader = 0x01, kArchiveProperties = 0x02, kAdditionalStreamsInfo = 0x03,
    kMainStreamsInfo = 0x04, kFilesInfo = 0x05, kPackInfo = 0x06, kUnpackInfo = 0x07,
    kSubStreamsInfo = 0x08, kSize = 0x09, kCrc = 0x0A, kFolder = 0x0B, kCodersUnpackSize = 0x0C,
    kNumUnpackStream = 0x0D, kEmptyStream = 0x0E, kEmptyFile = 0x0F, kAnti = 0x10, kName = 0x11,
    kMTime = 0x14, kWinAttributes = 0x15, kEncodedHeader = 0x17, kDummy = 0x19,
};

constexpr uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr size_t kSignatureHeaderSize = 32;
constexpr uint64_t kMaxHeaderSize = uint64_t{64} << 20;  // an unpacked header beyond this is refused
constexpr int kMaxHeaderNesting = 4;
constexpr size_t kMaxCoders = 32;
constexpr uint32_t kMaxCoderInputs = 32;

// Bounds-checked cursor over header bytes. Every count read from the header is checked
// against the bytes that remain, so no container is sized by an unchecked field.
class Cursor {
public:
    Cursor(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
    size_t remaining() const { return static_cast<size_t>(end_ - p_); }
    uint8_t byte() {
        if (p_ == end_) corrupt("archive header is truncated");
        return *p_++;
    }
    uint64_t number() {
        const uint8_t first = byte();
        unsigned extra = 0;
        while (extra < 8 && (first & (0x80u >> extra))) ++extra;
        if (remaining() < extra) corrupt("archive header is truncated");
        uint64_t value = 0;
        for (unsigned i = 0; i < extra; ++i) value |= uint64_t{p_[i]} << (8 * i);
        p_ += extra;
        if (extra < 8) value |= uint64_t(first & ((0x80u >> extra) - 1)) << (8 * extra);
        return value;
    }
    // A count of items that each take at least `min_bytes` of the header.
    size_t count(size_t min_bytes_x8 = 8) {
        uint64_t n = number();
        if (n > uint64_t{remaining()} * 8 / min_bytes_x8 + 1) corrupt("archive header is corrupt");
        return static_cast<size_t>(n);
    }
    uint32_t u32() {
        if (remaining() < 4) corrupt("archive header is truncated");
        uint32_t v = uint32_t{p_[0]} | (uint32_t{p_[1]} << 8) | (uint32_t{p_[2]} << 16) | (uint32_t{p_[3]} << 24);
        p_ += 4;
        return v;
    }
    uint64_t u64() {
        uint64_t lo = u32();
        return lo | (uint64_t{u32()} << 32);
    }
    const uint8_t* take(size_t n) {
        if (remaining() < n) corrupt("archive header is truncated");
        const uint8_t* at = p_;
        p_ += n;
        return at;
    }
    void skip(uint64_t n) {
        if (n > remaining()) corrupt("archive header is truncated");
        p_ += n;
    }
    void expect(uint64_t id) {
        if (number() != id) corrupt("archive header is corrupt");
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

size_t limited(size_t count, const char* what) {
    if (count > kMaxItems)
        fail(ErrorKind::Limit, "archive lists more than " + std::to_string(kMaxItems) + " " + what);
    return count;
}

std::vector<bool> read_bits(Cursor& c, size_t n) {
    if ((n + 7) / 8 > c.remaining()) corrupt("archive header is truncated");
    std::vector<bool> bits(n);
    uint8_t b = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i % 8 == 0) b = c.byte();
        bits[i] = (b & (0x80 >> (i % 8))) != 0;
    }
    return bits;
}

std::vector<bool> read_optional_bits(Cursor& c, size_t n) {
    if (c.byte() != 0) return std::vector<bool>(n, true);
    return read_bits(c, n);
}

void read_digests(Cursor& c, size_t n, std::vector<bool>& defined, std::vector<uint32_t>& crcs) {
    defined = read_optional_bits(c, n);
    crcs.assign(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (defined[i]) crcs[i] = c.u32();
}

uint64_t checked_add(uint64_t a, uint64_t b) {
    if (a + b < a) corrupt("archive header is corrupt");
    return a + b;
}

void read_pack_info(Cursor& c, StreamsInfo& s, uint64_t data_start, uint64_t archive_size) {
    uint64_t offset = checked_add(data_start, c.number());
    const size_t n = limited(c.count(), "packed streams");
    for (;;) {
        uint64_t id = c.number();
        if (id == kEnd) break;
        if (id == kSize) {
            s.pack_sizes.resize(n);
            s.pack_offsets.resize(n);
            for (size_t i = 0; i < n; ++i) {
                s.pack_sizes[i] = c.number();
                s.pack_offsets[i] = offset;
                offset = checked_add(offset, s.pack_sizes[i]);
                if (offset > archive_size) corrupt("archive is truncated");
            }
        } else if (id == kCrc) {
            std::vector<bool> defined;
            std::vector<uint32_t> crcs;
            read_digests(c, n, defined, crcs);  // packed-data digests: the unpacked ones are checked
        } else {
            corrupt("archive header is corrupt");
        }
    }
    if (s.pack_sizes.size() != n) corrupt("archive header is corrupt");
}

FolderInfo read_folder(Cursor& c) {
    FolderInfo f;
    const size_t num_coders = c.count(16);
    if (num_coders == 0 || num_coders > kMaxCoders) corrupt("archive header is corrupt");
    uint32_t total_inputs = 0;
    for (size_t i = 0; i < num_coders; ++i) {
        CoderInfo coder;
        const uint8_t flags = c.byte();
        coder.method_size = flags & 0x0F;
        if (coder.method_size > 8 || (flags & 0x80)) fail(ErrorKind::Unsupported, "unsupported coder layout");
        const uint8_t* id = c.take(coder.method_size);
        for (unsigned k = 0; k < coder.method_size; ++k) coder.method = (coder.method << 8) | id[k];
        if (flags & 0x10) {
            uint64_t inputs = c.number(), outputs = c.number();
            if (inputs == 0 || inputs > kMaxCoderInputs || outputs != 1)
                fail(ErrorKind::Unsupported, "unsupported coder layout");
            coder.num_inputs = static_cast<uint32_t>(inputs);
        }
        if (flags & 0x20) {
            uint64_t size = c.number();
            if (size > c.remaining()) corrupt("archive header is truncated");
            const uint8_t* p = c.take(static_cast<size_t>(size));
            coder.properties.assign(p, p + size);
        }
        total_inputs += coder.num_inputs;
        if (total_inputs > kMaxCoderInputs) fail(ErrorKind::Unsupported, "unsupported coder layout");
        f.coders.push_back(std::move(coder));
    }
    const uint32_t outputs = static_cast<uint32_t>(num_coders);
    std::vector<bool> input_bound(total_inputs), output_bound(outputs);
    for (uint32_t i = 0; i + 1 < outputs; ++i) {
        BindPair bp;
        uint64_t in = c.number(), out = c.number();
        if (in >= total_inputs || out >= outputs || input_bound[in] || output_bound[out])
            corrupt("archive header is corrupt");
        bp.input = static_cast<uint32_t>(in);
        bp.output = static_cast<uint32_t>(out);
        input_bound[in] = output_bound[out] = true;
        f.bind_pairs.push_back(bp);
    }
    if (total_inputs < outputs) corrupt("archive header is corrupt");
    const uint32_t packed = total_inputs - (outputs - 1);
    if (packed == 1) {
        for (uint32_t i = 0; i < total_inputs; ++i)
            if (!input_bound[i]) f.packed_inputs.push_back(i);
    } else {
        for (uint32_t i = 0; i < packed; ++i) {
            uint64_t in = c.number();
            if (in >= total_inputs || input_bound[in]) corrupt("archive header is corrupt");
            input_bound[in] = true;
            f.packed_inputs.push_back(static_cast<uint32_t>(in));
        }
    }
    if (f.packed_inputs.size() != packed) corrupt("archive header is corrupt");
    for (uint32_t i = 0; i < outputs; ++i)
        if (!output_bound[i]) f.main_output = i;
    return f;
}

void read_unpack_info(Cursor& c, StreamsInfo& s) {
    c.expect(kFolder);
    const size_t n = limited(c.count(16), "folders");
    if (c.byte() != 0) fail(ErrorKind::Unsupported, "external folder data is not supported");
    s.folders.reserve(n);
    size_t next_pack = 0;
    for (size_t i = 0; i < n; ++i) {
        s.folders.push_back(read_folder(c));
        s.folders.back().first_pack_stream = next_pack;
        next_pack += s.folders.back().packed_inputs.size();
    }
    if (next_pack > s.pack_sizes.size()) corrupt("archive header is corrupt");
    c.expect(kCodersUnpackSize);
    for (auto& f : s.folders) {
        f.unpack_sizes.resize(f.coders.size());
        for (auto& size : f.unpack_sizes) size = c.number();
    }
    for (;;) {
        uint64_t id = c.number();
        if (id == kEnd) break;
        if (id != kCrc) corrupt("archive header is corrupt");
        std::vector<bool> defined;
        std::vector<uint32_t> crcs;
        read_digests(c, n, defined, crcs);
        for (size_t i = 0; i < n; ++i) {
            s.folders[i].has_crc = defined[i];
            s.folders[i].crc = crcs[i];
        }
    }
}

void read_substreams_info(Cursor& c, StreamsInfo& s) {
    const size_t folders = s.folders.size();
    s.streams_per_folder.assign(folders, 1);
    uint64_t id = c.number();
    if (id == kNumUnpackStream) {
        uint64_t total = 0;
        for (auto& n : s.streams_per_folder) {
            n = c.number();
            total += n;
            if (n > c.remaining() + 1 || total > uint64_t{c.remaining()} + folders) corrupt("archive header is corrupt");
            limited(static_cast<size_t>(total), "files");
        }
        id = c.number();
    }
    for (size_t f = 0; f < folders; ++f) {
        const uint64_t n = s.streams_per_folder[f];
        if (n == 0) continue;
        uint64_t sum = 0;
        if (id == kSize) {
            for (uint64_t k = 1; k < n; ++k) {
                uint64_t size = c.number();
                sum = checked_add(sum, size);
                s.stream_sizes.push_back(size);
            }
        } else if (n > 1) {
            corrupt("archive header is corrupt");
        }
        if (sum > s.folders[f].unpack_size()) corrupt("archive header is corrupt");
        s.stream_sizes.push_back(s.folders[f].unpack_size() - sum);
    }
    if (id == kSize) id = c.number();

    // Streams that are a whole folder with a folder CRC take that CRC; the others are listed.
    const size_t streams = s.stream_sizes.size();
    s.stream_has_crc.assign(streams, false);
    s.stream_crcs.assign(streams, 0);
    size_t unknown = 0;
    for (size_t f = 0; f < folders; ++f) {
        const uint64_t n = s.streams_per_folder[f];
        if (!(n == 1 && s.folders[f].has_crc)) unknown += n;
    }
    for (;;) {
        if (id == kEnd) break;
        if (id != kCrc) corrupt("archive header is corrupt");
        std::vector<bool> defined;
        std::vector<uint32_t> crcs;
        read_digests(c, unknown, defined, crcs);
        size_t k = 0, stream = 0;
        for (size_t f = 0; f < folders; ++f) {
            const uint64_t n = s.streams_per_folder[f];
            if (n == 1 && s.folders[f].has_crc) {
                ++stream;
                continue;
            }
            for (uint64_t j = 0; j < n; ++j, ++stream, ++k) {
                s.stream_has_crc[stream] = defined[k];
                s.stream_crcs[stream] = crcs[k];
            }
        }
        id = c.number();
    }
    size_t stream = 0;
    for (size_t f = 0; f < folders; ++f) {
        const uint64_t n = s.streams_per_folder[f];
        if (n == 1 && s.folders[f].has_crc) {
            s.stream_has_crc[stream] = true;
            s.stream_crcs[stream] = s.folders[f].crc;
        }
        stream += n;
    }
}

StreamsInfo read_streams_info(Cursor& c, uint64_t data_start, uint64_t archive_size) {
    StreamsInfo s;
    uint64_t id = c.number();
    if (id == kPackInfo) {
        read_pack_info(c, s, data_start, archive_size);
        id = c.number();
    }
    if (id == kUnpackInfo) {
        read_unpack_info(c, s);
        id = c.number();
    }
    bool substreams = false;
    if (id == kSubStreamsInfo) {
        read_substreams_info(c, s);
        substreams = true;
        id = c.number();
    }
    if (!substreams) {
        s.streams_per_folder.assign(s.folders.size(), 1);
        for (auto& f : s.folders) {
            s.stream_sizes.push_back(f.unpack_size());
            s.stream_has_crc.push_back(f.has_crc);
            s.stream_crcs.push_back(f.crc);
        }
    }
    if (id != kEnd) corrupt("archive header is corrupt");
    return s;
}

template <typename T>
void read_defined_values(Cursor& c, size_t n, std::vector<bool>& defined, std::vector<T>& values) {
    defined = read_optional_bits(c, n);
    if (c.byte() != 0) fail(ErrorKind::Unsupported, "external file properties are not supported");
    values.assign(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (defined[i]) values[i] = sizeof(T) == 8 ? static_cast<T>(c.u64()) : static_cast<T>(c.u32());
}

// Per-entry values present for some entries (times, attributes) into Entry fields.
template <typename T>
void read_entry_values(Cursor& c, std::vector<Entry>& entries, bool Entry::*has, T Entry::*value) {
    std::vector<bool> defined;
    std::vector<T> values;
    read_defined_values(c, entries.size(), defined, values);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].*has = defined[i];
        entries[i].*value = values[i];
    }
}

std::vector<Entry> read_files_info(Cursor& c, const StreamsInfo& s) {
    const size_t n = limited(c.count(16), "entries");
    std::vector<Entry> entries(n);
    std::vector<bool> empty_stream(n, false), empty_file, anti;
    size_t empty_count = 0;
    bool have_names = false;
    for (;;) {
        const uint64_t type = c.number();
        if (type == kEnd) break;
        const uint64_t size = c.number();
        if (size > c.remaining()) corrupt("archive header is truncated");
        Cursor prop(c.take(static_cast<size_t>(size)), static_cast<size_t>(size));
        switch (type) {
        case kEmptyStream:
            empty_stream = read_bits(prop, n);
            empty_count = static_cast<size_t>(std::count(empty_stream.begin(), empty_stream.end(), true));
            break;
        case kEmptyFile:
            empty_file = read_bits(prop, empty_count);
            break;
        case kAnti:
            anti = read_bits(prop, empty_count);
            break;
        case kName: {
            if (prop.byte() != 0) fail(ErrorKind::Unsupported, "external file names are not supported");
            for (size_t i = 0; i < n; ++i) {
                size_t units = 0;
                const uint8_t* start = prop.take(0);
                for (;;) {
                    const uint8_t* u = prop.take(2);
                    if (u[0] == 0 && u[1] == 0) break;
                    ++units;
                }
                entries[i].name = utf16le_to_utf8(start, units);
            }
            have_names = true;
            break;
        }
        case kMTime:
            read_entry_values(prop, entries, &Entry::has_mtime, &Entry::mtime);
            break;
        case kWinAttributes:
            read_entry_values(prop, entries, &Entry::has_attributes, &Entry::attributes);
            break;
        default:
            break;  // creation and access times, start positions, padding: not needed
        }
    }
    if (!have_names && n != 0) corrupt("archive has no file names");

    size_t empty_index = 0, stream = 0, folder = 0, left_in_folder = 0;
    for (size_t i = 0; i < n; ++i) {
        Entry& e = entries[i];
        if (empty_stream[i]) {
            e.is_directory = empty_file.size() <= empty_index || !empty_file[empty_index];
            e.is_anti = anti.size() > empty_index && anti[empty_index];
            ++empty_index;
            continue;
        }
        while (left_in_folder == 0) {
            if (folder >= s.folders.size()) corrupt("archive lists more files than data streams");
            left_in_folder = static_cast<size_t>(s.streams_per_folder[folder]);
            if (left_in_folder == 0) ++folder;
        }
        e.has_stream = true;
        e.folder = folder;
        e.size = s.stream_sizes[stream];
        e.has_crc = s.stream_has_crc[stream];
        e.crc = s.stream_crcs[stream];
        ++stream;
        if (--left_in_folder == 0) ++folder;
    }
    return entries;
}

// Decodes folder 0 of an encoded header into memory, checking its CRC.
std::vector<uint8_t> unpack_header(ArchiveSource& source, const StreamsInfo& s) {
    if (s.folders.empty()) corrupt("archive header is corrupt");
    std::vector<uint8_t> out;
    for (size_t f = 0; f < s.folders.size(); ++f) {
        const uint64_t size = s.folders[f].unpack_size();
        if (size + out.size() > kMaxHeaderSize) fail(ErrorKind::Limit, "archive header is too large");
        auto stream = open_folder(source, s, f);
        const size_t start = out.size();
        size_t done = 0;
        while (done < size) {
            const size_t step = static_cast<size_t>(std::min<uint64_t>(size - done, 1 << 20));
            out.resize(start + done + step);
            size_t got = read_fully(*stream, out.data() + start + done, step);
            if (got != step) corrupt("archive header is truncated");
            done += step;
        }
        if (s.folders[f].has_crc && crc32(out.data() + start, done) != s.folders[f].crc)
            corrupt("CRC error in the archive header");
    }
    return out;
}

}  // namespace

ArchiveDatabase read_archive(ArchiveSource& source) {
    uint8_t sig[kSignatureHeaderSize];
    const uint64_t archive_size = source.size();
    if (source.read_at(0, sig, sizeof sig) != sizeof sig || std::memcmp(sig, kSignature, 6) != 0)
        corrupt("not a 7z archive");
    if (sig[6] != 0) fail(ErrorKind::Unsupported, "unsupported 7z format version");
    Cursor start(sig + 8, 24);
    const uint32_t start_crc = uint32_t{sig[8]} | (uint32_t{sig[9]} << 8) | (uint32_t{sig[10]} << 16) | (uint32_t{sig[11]} << 24);
    if (crc32(sig + 12, 20) != start_crc) corrupt("CRC error in the archive start header");
    start.skip(4);
    const uint64_t next_offset = start.u64();
    const uint64_t next_size = start.u64();
    const uint32_t next_crc = start.u32();
    ArchiveDatabase db;
    if (next_size == 0) return db;  // an empty archive
    if (next_offset > archive_size || next_size > archive_size - kSignatureHeaderSize ||
        kSignatureHeaderSize + next_offset > archive_size - next_size)
        corrupt("archive is truncated");
    if (next_size > kMaxHeaderSize) fail(ErrorKind::Limit, "archive header is too large");
    std::vector<uint8_t> header(static_cast<size_t>(next_size));
    if (source.read_at(kSignatureHeaderSize + next_offset, header.data(), header.size()) != header.size())
        corrupt("archive is truncated");
    if (crc32(header.data(), header.size()) != next_crc) corrupt("CRC error in the archive header");

    for (int nesting = 0;; ++nesting) {
        Cursor c(header.data(), header.size());
        const uint64_t id = c.number();
        if (id == kEncodedHeader) {
            if (nesting >= kMaxHeaderNesting) corrupt("archive header is corrupt");
            StreamsInfo s = read_streams_info(c, kSignatureHeaderSize, archive_size);
            check_folders_supported(s);
            header = unpack_header(source, s);
            continue;
        }
        if (id != kHeader) corrupt("archive header is corrupt");
        uint64_t next = c.number();
        if (next == kArchiveProperties) {
            for (;;) {
                if (c.number() == kEnd) break;
                c.skip(c.number());
            }
            next = c.number();
        }
        if (next == kAdditionalStreamsInfo) fail(ErrorKind::Unsupported, "additional header streams are not supported");
        if (next == kMainStreamsInfo) {
            db.streams = read_streams_info(c, kSignatureHeaderSize, archive_size);
            next = c.number();
        }
        if (next == kFilesInfo) {
            db.entries = read_files_info(c, db.streams);
            next = c.number();
        }
        if (next != kEnd) corrupt("archive header is corrupt");
        return db;
    }
}

}  // namespace archiver
