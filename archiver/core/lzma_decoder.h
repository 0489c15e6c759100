// LZMA and LZMA2 decoding over a sliding window the caller reads from.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archiver/core/streams.h"

namespace archiver {

// Largest window we allocate. A window is never larger than the coder's unpacked size, so
// this only limits archives made with a dictionary beyond it AND at least that much data.
// The 32-bit ceiling is the one 7-zip32.dll has, whatever machine an archive is tested on.
constexpr uint64_t kMaxWindowSize32 = uint64_t{768} << 20;
constexpr uint64_t kMaxWindowSize = sizeof(void*) == 4 ? kMaxWindowSize32 : (uint64_t{3} << 30);

// History buffer shared by the LZMA decoder (writer) and the stream (reader). It starts at
// 64 KiB, then 1 MiB, and grows eightfold as data arrives, up to `target`; only then does it wrap around.
// So a corrupt stream that claims a huge size costs memory in proportion to the bytes it
// really yields, never the claimed dictionary or unpacked size.
class Window {
public:
    // Match copies move 8 bytes at a time and may write up to 7 bytes past their end: the
    // buffer has kOvershoot bytes beyond `capacity`, and the window is kMargin bytes larger
    // than the dictionary, so those bytes are never ones a valid match can still reach.
    static constexpr size_t kOvershoot = 8;
    static constexpr size_t kMargin = 16;

    void configure(size_t target);
    // Called once everything decoded has been read: makes room after `pos`.
    void prepare();
    size_t take(uint8_t* out, size_t size);
    bool drained() const { return read_pos == pos; }

    uint8_t* data = nullptr;
    size_t capacity = 0;
    size_t pos = 0;       // next byte the decoder writes
    size_t read_pos = 0;  // next byte the reader takes
    size_t target = 0;

private:
    std::unique_ptr<uint8_t[]> storage_;
};

// Packed bytes buffered at a time by the LZMA coders (an LZMA2 chunk is at most this).
constexpr size_t kInputBlock = 1 << 16;

class LzmaDecoder {
public:
    // Most input one symbol can consume; callers keep this many readable bytes past the
    // point where they let a symbol start (zero padding at the real end of the input).
    static constexpr size_t kMaxSymbolInput = 64;

    enum class Status { Progress, EndMarker, Corrupt };

    // The largest literal context bits (lc), literal position bits (lp) and position bits
    // (pb) of an LZMA stream; an LZMA2 stream keeps lc + lp within kMaxLzma2LcLp as well.
    static constexpr unsigned kMaxLc = 8, kMaxLp = 4, kMaxPb = 4;
    static constexpr unsigned kMaxLzma2LcLp = 4;
    // Bytes the range coder starts from.
    static constexpr size_t kRangeStartBytes = 5;

    bool configure(unsigned lc, unsigned lp, unsigned pb);  // false if lc > kMaxLc, lp > kMaxLp or pb > kMaxPb
    void reset_state();                                     // probabilities, state, reps
    void reset_dictionary();                                // history starts over
    // Reads the kRangeStartBytes range coder start bytes.
    bool start_range(const uint8_t*& in);
    // Decodes into w.data[w.pos, limit). Stops at `limit`, after a symbol that left `in`
    // at or past `in_stop`, at an end marker, or on corrupt data.
    Status decode(Window& w, size_t limit, const uint8_t*& in, const uint8_t* in_stop);
    // Bytes appended to the window without coding (LZMA2 uncompressed chunks).
    void note_raw(const Window& w, size_t count);
    uint32_t pending_match() const { return pending_; }

private:
    std::vector<uint16_t> probs_;
    unsigned lc_ = 0, lp_ = 0, pb_ = 0;
    uint32_t range_ = 0, code_ = 0;
    unsigned state_ = 0;
    uint32_t rep_[4] = {0, 0, 0, 0};
    uint32_t processed_ = 0;  // bytes since the last dictionary reset (low bits)
    bool full_ = false;       // at least a whole window decoded since that reset
    uint32_t pending_ = 0;    // rest of a match cut off by `limit`
};

struct LzmaProperties {
    unsigned lc, lp, pb;
    uint32_t dictionary;
};
LzmaProperties parse_lzma_properties(const std::vector<uint8_t>& props);
uint64_t lzma2_dictionary_size(const std::vector<uint8_t>& props);

// The window a coder with this dictionary decodes its unpacked size in: never more than the
// data needs. Beyond kMaxWindowSize the coder fails with a size-limit error.
uint64_t window_size(uint64_t dictionary, uint64_t out_size);

// 7z coder LZMA: one LZMA stream of known unpacked size.
class LzmaStream : public InStream {
public:
    LzmaStream(std::unique_ptr<InStream> in, const std::vector<uint8_t>& props, uint64_t out_size);
    size_t read(uint8_t* out, size_t size) override;

private:
    bool produce();
    void fill_input();

    std::unique_ptr<InStream> in_;
    std::unique_ptr<uint8_t[]> input_;  // kInputBlock + padding; only bytes read or zeroed are used
    size_t in_pos_ = 0, in_end_ = 0;
    bool in_eof_ = false;
    bool started_ = false;
    Window window_;
    LzmaDecoder decoder_;
    uint64_t out_left_;
};

// 7z coder LZMA2: chunks of LZMA or stored data with resets between them.
class Lzma2Stream : public InStream {
public:
    Lzma2Stream(std::unique_ptr<InStream> in, const std::vector<uint8_t>& props, uint64_t out_size);
    size_t read(uint8_t* out, size_t size) override;

private:
    bool produce();
    bool next_chunk();

    std::unique_ptr<InStream> in_;
    std::unique_ptr<uint8_t[]> chunk_;  // one packed chunk + zero padding
    const uint8_t* chunk_pos_ = nullptr;
    const uint8_t* chunk_end_ = nullptr;
    uint32_t chunk_left_ = 0;  // unpacked bytes left in the current chunk
    bool chunk_stored_ = false;
    bool need_dictionary_reset_ = true;
    bool need_properties_ = true;
    Window window_;
    LzmaDecoder decoder_;
    uint64_t out_left_;
};

}  // namespace archiver
