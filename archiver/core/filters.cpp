#include "archiver/core/filters.h"

#include <algorithm>
#include <cstring>

#include "archiver/core/archive_error.h"

namespace archiver {
namespace {

inline bool is_ms_byte(uint8_t b) { return b == 0 || b == 0xFF; }

inline uint32_t load_le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline void store_le32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

// x86: E8 (call) and E9 (jmp) operands were made absolute by the packer. Whether an
// opcode was converted depends on the opcodes seen in the 5 bytes before it (prev_mask_),
// exactly as the packer decided.
size_t X86Filter::decode(uint8_t* data, size_t size) {
    static const bool kAllowed[8] = {true, true, true, false, true, false, false, false};
    static const unsigned kBitNumber[8] = {0, 1, 2, 2, 3, 3, 3, 3};
    if (size < 5) return 0;
    uint32_t mask = prev_mask_;
    uint32_t prev_pos = prev_pos_;
    const uint32_t base = position_;
    if (base - prev_pos > 5) prev_pos = base - 5;
    const size_t last = size - 5;
    size_t i = 0;
    while (i <= last) {
        // Skip 8 bytes at a time while none of them is E8 or E9.
        while (i + 8 <= last) {
            uint64_t v;
            std::memcpy(&v, data + i, 8);
            v = (v & 0xFEFEFEFEFEFEFEFEull) ^ 0xE8E8E8E8E8E8E8E8ull;  // zero byte where E8/E9
            if (((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0) break;
            i += 8;
        }
        const uint8_t op = data[i];
        if ((op & 0xFE) != 0xE8) {
            ++i;
            continue;
        }
        const uint32_t here = base + static_cast<uint32_t>(i);
        const uint32_t gap = here - prev_pos;
        prev_pos = here;
        if (gap > 5) {
            mask = 0;
        } else {
            for (uint32_t k = 0; k < gap; ++k) mask = (mask & 0x77) << 1;
        }
        uint8_t top = data[i + 4];
        if (is_ms_byte(top) && kAllowed[(mask >> 1) & 7] && (mask >> 1) < 0x10) {
            uint32_t value = load_le32(data + i + 1);
            uint32_t target;
            for (;;) {
                target = value - (here + 5);
                if (mask == 0) break;
                const unsigned shift = kBitNumber[mask >> 1] * 8;
                if (!is_ms_byte(static_cast<uint8_t>(target >> (24 - shift)))) break;
                value = target ^ ((1u << (32 - shift)) - 1);
            }
            target &= 0x01FFFFFF;
            if (target & 0x01000000) target |= 0xFF000000;
            store_le32(data + i + 1, target);
            i += 5;
            mask = 0;
        } else {
            ++i;
            mask |= 1;
            if (is_ms_byte(top)) mask |= 0x10;
        }
    }
    prev_mask_ = mask;
    prev_pos_ = prev_pos;
    position_ += static_cast<uint32_t>(i);
    return i;
}

// ARM64: BL offsets (in words) and ADRP page offsets within +-512 MiB were made absolute.
size_t Arm64Filter::decode(uint8_t* data, size_t size) {
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        const uint32_t pc = position_ + static_cast<uint32_t>(i);
        uint32_t insn = load_le32(data + i);
        if ((insn >> 26) == 0x25) {
            insn = 0x94000000u | ((insn - (pc >> 2)) & 0x03FFFFFFu);
            store_le32(data + i, insn);
        } else if ((insn & 0x9F000000u) == 0x90000000u) {
            const uint32_t page = ((insn >> 29) & 3) | ((insn >> 3) & 0x001FFFFCu);
            if ((page + 0x00020000u) & 0x001C0000u) continue;
            const uint32_t rel = page - (pc >> 12);
            insn &= 0x9000001Fu;
            insn |= (rel & 3) << 29;
            insn |= (rel & 0x0003FFFCu) << 3;
            insn |= (0u - (rel & 0x00020000u)) & 0x00E00000u;
            store_le32(data + i, insn);
        }
    }
    position_ += static_cast<uint32_t>(i);
    return i;
}

size_t DeltaFilter::decode(uint8_t* data, size_t size) {
    uint8_t idx = index_;
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<uint8_t>(data[i] + history_[static_cast<uint8_t>(idx - distance_)]);
        history_[idx++] = data[i];
    }
    index_ = idx;
    return size;
}

FilterStream::FilterStream(std::unique_ptr<InStream> in, std::unique_ptr<Filter> filter)
    : in_(std::move(in)), filter_(std::move(filter)), buffer_(new uint8_t[kBuffer]) {}

size_t FilterStream::read(uint8_t* out, size_t size) {
    if (size == 0) return 0;
    if (out_pos_ == ready_ && size >= kDirectRead) return read_direct(out, size);
    while (out_pos_ == ready_) {
        if (eof_ && ready_ == filled_) return 0;
        std::memmove(buffer_.get(), buffer_.get() + ready_, filled_ - ready_);
        filled_ -= ready_;
        out_pos_ = ready_ = 0;
        while (!eof_ && filled_ < kBuffer) {
            size_t n = in_->read(buffer_.get() + filled_, kBuffer - filled_);
            if (n == 0) eof_ = true;
            filled_ += n;
            if (filled_ >= 16) break;
        }
        ready_ = filter_->decode(buffer_.get(), filled_);
        if (eof_) ready_ = filled_;  // a tail too short to hold an instruction stays as is
    }
    size_t n = std::min(size, ready_ - out_pos_);
    std::memcpy(out, buffer_.get() + out_pos_, n);
    out_pos_ += n;
    return n;
}

// Large reads convert in the caller's buffer; only the few bytes of a possibly cut
// instruction at its end wait in ours for the next call. Every filter finishes all but
// its last few bytes of any block of 16 or more, so this always makes progress.
size_t FilterStream::read_direct(uint8_t* out, size_t size) {
    size_t n = filled_ - ready_;
    std::memmove(out, buffer_.get() + ready_, n);
    out_pos_ = ready_ = filled_ = 0;
    for (;;) {
        if (!eof_ && n < size) {
            const size_t got = in_->read(out + n, size - n);
            if (got == 0) eof_ = true;
            n += got;
        }
        const size_t done = filter_->decode(out, n);
        if (eof_) return n;  // a tail too short to hold an instruction stays as is
        if (done > 0) {
            std::memcpy(buffer_.get(), out + done, n - done);
            filled_ = n - done;
            return done;
        }
    }
}

Bcj2Stream::Bcj2Stream(std::vector<std::unique_ptr<InStream>> inputs, uint64_t out_size)
    : inputs_(std::move(inputs)),
      main_(*inputs_.at(0)),
      call_(*inputs_.at(1), 1 << 14),
      jump_(*inputs_.at(2), 1 << 14),
      rc_(*inputs_.at(3), 1 << 14),
      out_size_(out_size) {
    std::fill(std::begin(probs_), std::end(probs_), uint16_t{1024});
}

unsigned Bcj2Stream::decode_flag(unsigned index) {
    auto next = [&]() -> uint32_t {
        int b = rc_.get();
        if (b < 0) corrupt("BCJ2 data is truncated");
        return static_cast<uint32_t>(b);
    };
    if (!started_) {
        for (int i = 0; i < 5; ++i) code_ = (code_ << 8) | next();
        started_ = true;
    }
    if (range_ < (1u << 24)) {
        range_ <<= 8;
        code_ = (code_ << 8) | next();
    }
    uint16_t& p = probs_[index];
    const uint32_t bound = (range_ >> 11) * p;
    if (code_ < bound) {
        range_ = bound;
        p = static_cast<uint16_t>(p + ((2048 - p) >> 5));
        return 0;
    }
    range_ -= bound;
    code_ -= bound;
    p = static_cast<uint16_t>(p - (p >> 5));
    return 1;
}

uint32_t Bcj2Stream::read_target(ByteReader& from) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        int b = from.get();
        if (b < 0) corrupt("BCJ2 data is truncated");
        v = (v << 8) | static_cast<uint32_t>(b);
    }
    return v;
}

size_t Bcj2Stream::read(uint8_t* out, size_t size) {
    size_t o = 0;
    while (o < size && produced_ < out_size_) {
        if (pending_pos_ < 4) {
            out[o++] = pending_[pending_pos_++];
            ++produced_;
            continue;
        }
        if (main_.at_end()) break;
        const uint8_t* src = main_.data();
        const size_t avail = static_cast<size_t>(
            std::min<uint64_t>(std::min(main_.available(), size - o), out_size_ - produced_));
        unsigned prev = prev_, before = prev_;
        size_t k = 0;
        bool jump = false;
        while (k < avail) {
            const unsigned b = src[k];
            out[o + k] = static_cast<uint8_t>(b);
            ++k;
            before = prev;
            prev = b;
            if ((b & 0xFE) == 0xE8 || (before == 0x0F && (b & 0xF0) == 0x80)) {
                jump = true;
                break;
            }
        }
        main_.skip(k);
        o += k;
        produced_ += k;
        prev_ = prev;
        if (!jump || produced_ == out_size_) continue;
        const unsigned index = prev == 0xE8 ? before : (prev == 0xE9 ? 256u : 257u);
        if (decode_flag(index) == 0) continue;
        const uint32_t absolute = read_target(prev == 0xE8 ? call_ : jump_);
        const uint32_t relative = absolute - static_cast<uint32_t>(produced_ + 4);
        store_le32(pending_, relative);
        pending_pos_ = 0;
        prev_ = relative >> 24;
    }
    return o;
}

}  // namespace archiver
