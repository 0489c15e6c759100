#include "archiver/core/lzma_decoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "archiver/core/archive_error.h"

namespace archiver {
namespace {

// Layout of the probability array: all adaptive contexts in one block so a state reset
// is one fill.
constexpr unsigned kStates = 12;
constexpr unsigned kIsMatch = 0;                       // [state][posState]
constexpr unsigned kIsRep = kIsMatch + kStates * 16;   // [state]
constexpr unsigned kIsRepG0 = kIsRep + kStates;
constexpr unsigned kIsRepG1 = kIsRepG0 + kStates;
constexpr unsigned kIsRepG2 = kIsRepG1 + kStates;
constexpr unsigned kIsRep0Long = kIsRepG2 + kStates;   // [state][posState]
constexpr unsigned kPosSlot = kIsRep0Long + kStates * 16;  // [lenState][64]
constexpr unsigned kSpecPos = kPosSlot + 4 * 64;      // distances 4..127, reverse trees
constexpr unsigned kAlign = kSpecPos + 128;
constexpr unsigned kLenCoder = kAlign + 16;
constexpr unsigned kRepLenCoder = kLenCoder + 2 + 16 * 8 * 2 + 256;
constexpr unsigned kLiteral = kRepLenCoder + 2 + 16 * 8 * 2 + 256;
// Within a length coder.
constexpr unsigned kLenChoice = 0, kLenChoice2 = 1, kLenLow = 2, kLenMid = kLenLow + 16 * 8,
                   kLenHigh = kLenMid + 16 * 8;

constexpr uint32_t kTop = 1u << 24;
constexpr size_t kStep = 1 << 18;  // bytes decoded before handing data to the reader

}  // namespace

void Window::configure(size_t new_target) {
    storage_.reset();
    data = nullptr;
    capacity = pos = read_pos = 0;
    target = new_target;
}

void Window::prepare() {
    if (pos < capacity) return;
    if (capacity < target) {
        const size_t grown = std::min(target, capacity == 0 ? size_t{1} << 16 : std::max(capacity * 8, size_t{1} << 20));
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[grown + kOvershoot]);
        if (pos) std::memcpy(bigger.get(), data, pos);
        storage_ = std::move(bigger);
        data = storage_.get();
        capacity = grown;
    } else {
        pos = read_pos = 0;
    }
}

size_t Window::take(uint8_t* out, size_t size) {
    size_t n = std::min(size, pos - read_pos);
    std::memcpy(out, data + read_pos, n);
    read_pos += n;
    return n;
}

bool LzmaDecoder::configure(unsigned lc, unsigned lp, unsigned pb) {
    if (lc > 8 || lp > 4 || pb > 4) return false;
    lc_ = lc;
    lp_ = lp;
    pb_ = pb;
    probs_.assign(kLiteral + (0x300u << (lc + lp)), 1024);
    return true;
}

void LzmaDecoder::reset_state() {
    std::fill(probs_.begin(), probs_.end(), uint16_t{1024});
    state_ = 0;
    rep_[0] = rep_[1] = rep_[2] = rep_[3] = 0;
    pending_ = 0;
}

void LzmaDecoder::reset_dictionary() {
    processed_ = 0;
    full_ = false;
    pending_ = 0;
}

bool LzmaDecoder::start_range(const uint8_t*& in) {
    if (in[0] != 0) return false;
    code_ = (uint32_t{in[1]} << 24) | (uint32_t{in[2]} << 16) | (uint32_t{in[3]} << 8) | in[4];
    range_ = 0xFFFFFFFFu;
    in += 5;
    return true;
}

void LzmaDecoder::note_raw(const Window& w, size_t count) {
    if (!full_ && uint64_t{processed_} + count >= w.target) full_ = true;
    processed_ += static_cast<uint32_t>(count);
}

#define LZMA_ALWAYS_INLINE __attribute__((always_inline))

LzmaDecoder::Status LzmaDecoder::decode(Window& w, size_t limit, const uint8_t*& in_ref,
                                        const uint8_t* in_stop) {
    uint8_t* const dict = w.data;
    const size_t cap = w.capacity;
    size_t pos = w.pos;
    const size_t start_pos = pos;
    const uint8_t* in = in_ref;
    uint32_t range = range_, code = code_;
    unsigned state = state_;
    uint32_t rep0 = rep_[0], rep1 = rep_[1], rep2 = rep_[2], rep3 = rep_[3];
    uint32_t processed = processed_;
    const bool full = full_;
    uint16_t* const probs = probs_.data();
    const unsigned lc = lc_;
    const uint32_t lp_mask = (1u << lp_) - 1, pb_mask = (1u << pb_) - 1;
    Status status = Status::Progress;

    auto bit = [&](uint16_t* p) LZMA_ALWAYS_INLINE -> unsigned {
        if (range < kTop) {
            range <<= 8;
            code = (code << 8) | *in++;
        }
        unsigned v = *p;
        uint32_t bound = (range >> 11) * v;
        if (code < bound) {
            range = bound;
            *p = static_cast<uint16_t>(v + ((2048 - v) >> 5));
            return 0;
        }
        range -= bound;
        code -= bound;
        *p = static_cast<uint16_t>(v - (v >> 5));
        return 1;
    };
    auto tree = [&](uint16_t* p, unsigned bits) LZMA_ALWAYS_INLINE -> unsigned {
        unsigned m = 1;
        for (unsigned i = 0; i < bits; ++i) m = (m << 1) | bit(p + m);
        return m - (1u << bits);
    };
    auto reverse_tree = [&](uint16_t* p, unsigned bits) LZMA_ALWAYS_INLINE -> unsigned {
        unsigned m = 1, result = 0;
        for (unsigned i = 0; i < bits; ++i) {
            unsigned b = bit(p + m);
            m = (m << 1) | b;
            result |= b << i;
        }
        return result;
    };
    auto length = [&](uint16_t* p, unsigned pos_state) LZMA_ALWAYS_INLINE -> unsigned {
        if (bit(p + kLenChoice) == 0) return tree(p + kLenLow + pos_state * 8, 3);
        if (bit(p + kLenChoice2) == 0) return 8 + tree(p + kLenMid + pos_state * 8, 3);
        return 16 + tree(p + kLenHigh, 8);
    };
    auto source_of = [&](uint32_t distance) LZMA_ALWAYS_INLINE -> size_t {
        return pos > distance ? pos - distance - 1 : pos + cap - distance - 1;
    };
    // Copies `len` bytes from `distance` back, clipped to `limit`; returns the bytes left.
    // Nothing past the copy is touched: once the window has wrapped, the bytes after
    // `pos` are the oldest history, still reachable by later matches.
    auto copy_match = [&](uint32_t distance, uint32_t len) LZMA_ALWAYS_INLINE -> uint32_t {
        const size_t now = std::min<size_t>(len, limit - pos);
        size_t src = source_of(distance);
        uint8_t* d = dict + pos;
        if (src + now <= cap) {
            const uint8_t* s = dict + src;
            if (distance >= 7) {
                // Source and destination are at least 8 bytes apart (or the source is
                // ahead): each 8-byte load reads only final bytes. The last block may run
                // up to 7 bytes past the match, into the window's slack or into history
                // older than any distance a valid stream can use (see Window).
                for (size_t i = 0; i < now; i += 8) {
                    uint64_t v;
                    std::memcpy(&v, s + i, 8);
                    std::memcpy(d + i, &v, 8);
                }
            } else if (distance == 0) {
                std::memset(d, *s, now);
            } else {
                for (size_t i = 0; i < now; ++i) d[i] = s[i];
            }
        } else {
            for (size_t i = 0; i < now; ++i) {
                d[i] = dict[src];
                if (++src == cap) src = 0;
            }
        }
        pos += now;
        processed += static_cast<uint32_t>(now);
        return len - static_cast<uint32_t>(now);
    };

    if (pending_ != 0 && pos < limit) pending_ = copy_match(rep0, pending_);

    while (pos < limit && in < in_stop) {
        const unsigned pos_state = processed & pb_mask;
        if (bit(probs + kIsMatch + state * 16 + pos_state) == 0) {
            // Right after a dictionary reset (LZMA2 may reset mid-window) there is no
            // previous byte: the literal context starts from zero.
            const unsigned prev = (full || processed) ? dict[(pos != 0 ? pos : cap) - 1] : 0;
            uint16_t* lit = probs + kLiteral + 0x300u * (((processed & lp_mask) << lc) + (prev >> (8 - lc)));
            unsigned sym = 1;
            if (state < 7) {
#define LZMA_LITERAL_BIT sym = (sym << 1) | bit(lit + sym)
                LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT;
                LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT;
#undef LZMA_LITERAL_BIT
            } else {
                if (!full && rep0 >= processed) { status = Status::Corrupt; break; }
                unsigned match_byte = dict[source_of(rep0)];
                unsigned offs = 0x100;
                do {
                    match_byte <<= 1;
                    const unsigned match_bit = match_byte & offs;
                    const unsigned b = bit(lit + offs + match_bit + sym);
                    sym = (sym << 1) | b;
                    offs &= b ? match_bit : ~match_bit;
                } while (sym < 0x100);
            }
            dict[pos++] = static_cast<uint8_t>(sym);
            ++processed;
            state = state < 4 ? 0 : (state < 10 ? state - 3 : state - 6);
            continue;
        }
        unsigned len;
        if (bit(probs + kIsRep + state) == 0) {
            len = length(probs + kLenCoder, pos_state);
            const unsigned len_state = len < 3 ? len : 3;
            const unsigned slot = tree(probs + kPosSlot + len_state * 64, 6);
            uint32_t distance;
            if (slot < 4) {
                distance = slot;
            } else {
                unsigned direct = (slot >> 1) - 1;
                distance = (2u | (slot & 1u)) << direct;
                if (slot < 14) {
                    distance += reverse_tree(probs + kSpecPos + distance - slot, direct);
                } else {
                    direct -= 4;
                    uint32_t high = 0;
                    do {
                        if (range < kTop) {
                            range <<= 8;
                            code = (code << 8) | *in++;
                        }
                        range >>= 1;
                        uint32_t t = 0u - (code >= range ? 1u : 0u);
                        code -= range & t;
                        high = (high << 1) | (t & 1u);
                    } while (--direct);
                    distance += high << 4;
                    distance += reverse_tree(probs + kAlign, 4);
                    if (distance == 0xFFFFFFFFu) { status = Status::EndMarker; break; }
                }
            }
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            rep0 = distance;
            state = state < 7 ? 7 : 10;
        } else {
            if (!full && processed == 0) { status = Status::Corrupt; break; }
            if (bit(probs + kIsRepG0 + state) == 0) {
                if (bit(probs + kIsRep0Long + state * 16 + pos_state) == 0) {
                    if (!full && rep0 >= processed) { status = Status::Corrupt; break; }
                    state = state < 7 ? 9 : 11;
                    dict[pos] = dict[source_of(rep0)];
                    ++pos;
                    ++processed;
                    continue;
                }
            } else {
                uint32_t distance;
                if (bit(probs + kIsRepG1 + state) == 0) {
                    distance = rep1;
                } else {
                    if (bit(probs + kIsRepG2 + state) == 0) {
                        distance = rep2;
                    } else {
                        distance = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = distance;
            }
            len = length(probs + kRepLenCoder, pos_state);
            state = state < 7 ? 8 : 11;
        }
        if (rep0 >= (full ? cap : processed)) { status = Status::Corrupt; break; }
        pending_ = copy_match(rep0, len + 2);
    }

    range_ = range;
    code_ = code;
    state_ = state;
    rep_[0] = rep0;
    rep_[1] = rep1;
    rep_[2] = rep2;
    rep_[3] = rep3;
    // The window counts as full only at its final size: while it still grows, distances
    // beyond the bytes decoded so far stay invalid.
    if (!full_ && uint64_t{processed_} + (pos - start_pos) >= w.target) full_ = true;
    processed_ = processed;
    w.pos = pos;
    in_ref = in;
    return status;
}

LzmaProperties parse_lzma_properties(const std::vector<uint8_t>& props) {
    if (props.size() < 5) corrupt("LZMA properties are too short");
    unsigned v = props[0];
    if (v >= 9 * 5 * 5) corrupt("LZMA properties are invalid");
    LzmaProperties p;
    p.lc = v % 9;
    v /= 9;
    p.lp = v % 5;
    p.pb = v / 5;
    p.dictionary = uint32_t{props[1]} | (uint32_t{props[2]} << 8) | (uint32_t{props[3]} << 16) |
                   (uint32_t{props[4]} << 24);
    return p;
}

uint64_t lzma2_dictionary_size(const std::vector<uint8_t>& props) {
    if (props.size() < 1 || props[0] > 40) corrupt("LZMA2 properties are invalid");
    const unsigned p = props[0];
    return p == 40 ? 0xFFFFFFFFu : (uint64_t{2} | (p & 1)) << (p / 2 + 11);
}

uint64_t window_size(uint64_t dictionary, uint64_t out_size) {
    const uint64_t want = std::min(dictionary, out_size);
    return std::max(want, std::min<uint64_t>(out_size, 4096)) + Window::kMargin;
}

namespace {

size_t window_for(uint64_t dictionary, uint64_t out_size) {
    const uint64_t want = window_size(dictionary, out_size);
    if (want > kMaxWindowSize)
        fail(ErrorKind::Limit, "dictionary of " + std::to_string(want >> 20) + " MB is beyond this extractor's limit");
    return static_cast<size_t>(want);
}

}  // namespace

LzmaStream::LzmaStream(std::unique_ptr<InStream> in, const std::vector<uint8_t>& props, uint64_t out_size)
    : in_(std::move(in)), input_(new uint8_t[kInputBlock + LzmaDecoder::kMaxSymbolInput]), out_left_(out_size) {
    LzmaProperties p = parse_lzma_properties(props);
    if (!decoder_.configure(p.lc, p.lp, p.pb)) corrupt("LZMA properties are invalid");
    decoder_.reset_state();
    decoder_.reset_dictionary();
    window_.configure(window_for(p.dictionary, out_size));
}

void LzmaStream::fill_input() {
    if (in_eof_ || in_end_ - in_pos_ > LzmaDecoder::kMaxSymbolInput) return;
    uint8_t* const buffer = input_.get();
    std::memmove(buffer, buffer + in_pos_, in_end_ - in_pos_);
    in_end_ -= in_pos_;
    in_pos_ = 0;
    while (in_end_ < kInputBlock) {
        size_t n = in_->read(buffer + in_end_, kInputBlock - in_end_);
        if (n == 0) {
            in_eof_ = true;
            std::memset(buffer + in_end_, 0, kInputBlock + LzmaDecoder::kMaxSymbolInput - in_end_);
            break;
        }
        in_end_ += n;
    }
}

bool LzmaStream::produce() {
    if (out_left_ == 0) return false;
    fill_input();
    if (!started_) {
        if (in_end_ - in_pos_ < 5) corrupt("LZMA data is truncated");
        const uint8_t* p = input_.get() + in_pos_;
        if (!decoder_.start_range(p)) corrupt("LZMA data is corrupt");
        in_pos_ = p - input_.get();
        started_ = true;
    }
    window_.prepare();
    const size_t start = window_.pos;
    const size_t limit = start + static_cast<size_t>(std::min<uint64_t>(
                                     out_left_, std::min(window_.capacity - start, kStep)));
    while (window_.pos < limit) {
        fill_input();
        const uint8_t* base = input_.get();
        const uint8_t* p = base + in_pos_;
        const uint8_t* stop = in_eof_ ? base + in_end_ + 1 : base + in_end_ - LzmaDecoder::kMaxSymbolInput;
        auto status = decoder_.decode(window_, limit, p, stop);
        in_pos_ = p - base;
        if (status == LzmaDecoder::Status::Corrupt) corrupt("LZMA data is corrupt");
        if (in_pos_ > in_end_) corrupt("LZMA data is truncated");
        if (status == LzmaDecoder::Status::EndMarker) {
            if (window_.pos - start != out_left_) corrupt("LZMA data ends before its declared size");
            break;
        }
    }
    out_left_ -= window_.pos - start;
    return window_.pos != start;
}

size_t LzmaStream::read(uint8_t* out, size_t size) {
    if (size == 0) return 0;
    if (window_.drained() && !produce()) return 0;
    return window_.take(out, size);
}

Lzma2Stream::Lzma2Stream(std::unique_ptr<InStream> in, const std::vector<uint8_t>& props, uint64_t out_size)
    : in_(std::move(in)), chunk_(new uint8_t[kInputBlock + LzmaDecoder::kMaxSymbolInput]), out_left_(out_size) {
    window_.configure(window_for(lzma2_dictionary_size(props), out_size));
}

bool Lzma2Stream::next_chunk() {
    uint8_t header[6];
    if (read_fully(*in_, header, 1) != 1) corrupt("LZMA2 data is truncated");
    const unsigned control = header[0];
    if (control == 0) return false;
    if (control == 1 || control == 2) {
        if (read_fully(*in_, header + 1, 2) != 2) corrupt("LZMA2 data is truncated");
        if (control == 1) {
            decoder_.reset_dictionary();
            need_dictionary_reset_ = false;
        } else if (need_dictionary_reset_) {
            corrupt("LZMA2 data is corrupt");
        }
        chunk_left_ = ((uint32_t{header[1]} << 8) | header[2]) + 1;
        chunk_stored_ = true;
        return true;
    }
    if (control < 0x80) corrupt("LZMA2 data is corrupt");
    const unsigned mode = (control >> 5) & 3;
    const size_t header_size = mode >= 2 ? 5 : 4;
    if (read_fully(*in_, header + 1, header_size) != header_size) corrupt("LZMA2 data is truncated");
    chunk_left_ = (((control & 0x1Fu) << 16) | (uint32_t{header[1]} << 8) | header[2]) + 1;
    const size_t packed = ((size_t{header[3]} << 8) | header[4]) + 1;
    if (mode == 3) {
        decoder_.reset_dictionary();
        need_dictionary_reset_ = false;
    } else if (need_dictionary_reset_) {
        corrupt("LZMA2 data is corrupt");
    }
    if (mode >= 2) {
        unsigned v = header[5];
        if (v >= 9 * 5 * 5) corrupt("LZMA2 properties are invalid");
        unsigned lc = v % 9, lp = (v / 9) % 5, pb = v / 45;
        if (lc + lp > 4 || !decoder_.configure(lc, lp, pb)) corrupt("LZMA2 properties are invalid");
        need_properties_ = false;
    } else if (need_properties_) {
        corrupt("LZMA2 data is corrupt");
    }
    if (mode >= 1) decoder_.reset_state();
    if (packed < 5 || read_fully(*in_, chunk_.get(), packed) != packed) corrupt("LZMA2 data is truncated");
    std::memset(chunk_.get() + packed, 0, LzmaDecoder::kMaxSymbolInput);
    chunk_pos_ = chunk_.get();
    chunk_end_ = chunk_.get() + packed;
    if (!decoder_.start_range(chunk_pos_)) corrupt("LZMA2 data is corrupt");
    chunk_stored_ = false;
    return true;
}

bool Lzma2Stream::produce() {
    if (out_left_ == 0) return false;
    window_.prepare();
    const size_t start = window_.pos;
    const size_t limit = start + static_cast<size_t>(std::min<uint64_t>(
                                     out_left_, std::min(window_.capacity - start, kStep)));
    while (window_.pos < limit) {
        if (chunk_left_ == 0) {
            if (!next_chunk()) corrupt("LZMA2 data ends before its declared size");
            continue;
        }
        const size_t chunk_limit = std::min<size_t>(limit, window_.pos + chunk_left_);
        size_t before = window_.pos;
        if (chunk_stored_) {
            size_t n = in_->read(window_.data + window_.pos, chunk_limit - window_.pos);
            if (n == 0) corrupt("LZMA2 data is truncated");
            window_.pos += n;
            decoder_.note_raw(window_, n);
        } else {
            auto status = decoder_.decode(window_, chunk_limit, chunk_pos_, chunk_end_ + 1);
            if (status != LzmaDecoder::Status::Progress || chunk_pos_ > chunk_end_)
                corrupt("LZMA2 data is corrupt");
        }
        chunk_left_ -= static_cast<uint32_t>(window_.pos - before);
        if (chunk_left_ == 0 && !chunk_stored_ && decoder_.pending_match() != 0) corrupt("LZMA2 data is corrupt");
    }
    out_left_ -= window_.pos - start;
    return true;
}

size_t Lzma2Stream::read(uint8_t* out, size_t size) {
    if (size == 0) return 0;
    if (window_.drained() && !produce()) return 0;
    return window_.take(out, size);
}

}  // namespace archiver
