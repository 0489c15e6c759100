// Filters that 7z puts in front of the compressor: x86 (BCJ), ARM64, Delta, and the
// four-stream x86 converter BCJ2.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archiver/core/streams.h"

namespace archiver {

class Filter {
public:
    virtual ~Filter() = default;
    // Restores `size` bytes in place; returns how many are final. The rest (a possibly
    // incomplete instruction at the end) is passed again, with more data, on the next call.
    virtual size_t decode(uint8_t* data, size_t size) = 0;
};

class X86Filter : public Filter {
public:
    size_t decode(uint8_t* data, size_t size) override;

private:
    uint32_t position_ = 0;
    uint32_t prev_mask_ = 0;
    uint32_t prev_pos_ = 0u - 5u;
};

class Arm64Filter : public Filter {
public:
    explicit Arm64Filter(uint32_t start = 0) : position_(start) {}
    size_t decode(uint8_t* data, size_t size) override;

private:
    uint32_t position_;
};

class DeltaFilter : public Filter {
public:
    explicit DeltaFilter(unsigned distance) : distance_(distance) {}
    size_t decode(uint8_t* data, size_t size) override;

private:
    unsigned distance_;
    uint8_t history_[256] = {};
    uint8_t index_ = 0;
};

// Applies a Filter to the stream below it.
class FilterStream : public InStream {
public:
    FilterStream(std::unique_ptr<InStream> in, std::unique_ptr<Filter> filter);
    size_t read(uint8_t* out, size_t size) override;

private:
    static constexpr size_t kDirectRead = 4096;
    static constexpr size_t kBuffer = 1 << 16;
    size_t read_direct(uint8_t* out, size_t size);

    std::unique_ptr<InStream> in_;
    std::unique_ptr<Filter> filter_;
    std::unique_ptr<uint8_t[]> buffer_;  // [out_pos_, ready_) decoded, [ready_, filled_) waiting
    size_t out_pos_ = 0, ready_ = 0, filled_ = 0;
    bool eof_ = false;
};

// BCJ2: call and jump targets travel in their own streams, and a range-coded stream says
// which E8/E9/Jcc opcodes in the main stream were converted.
class Bcj2Stream : public InStream {
public:
    Bcj2Stream(std::vector<std::unique_ptr<InStream>> inputs, uint64_t out_size);
    size_t read(uint8_t* out, size_t size) override;

private:
    unsigned decode_flag(unsigned index);
    uint32_t read_target(ByteReader& from);

    std::vector<std::unique_ptr<InStream>> inputs_;
    ByteReader main_, call_, jump_, rc_;
    uint16_t probs_[258];
    uint32_t range_ = 0xFFFFFFFFu, code_ = 0;
    bool started_ = false;
    unsigned prev_ = 0;
    uint64_t produced_ = 0, out_size_;
    uint8_t pending_[4] = {};
    unsigned pending_pos_ = 4;
};

}  // namespace archiver
