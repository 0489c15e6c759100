#include "archiver/core/lzma_decoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "archiver/core/archive_error.h"

namespace archiver {
namespace {

// The range coder: probabilities are 11-bit fractions of one, nudged 1/32 of the way
// towards each bit seen; the range is topped up a byte at a time below 2^24.
constexpr unsigned kProbBits = 11;
constexpr unsigned kProbOne = 1u << kProbBits;
constexpr uint16_t kProbInit = kProbOne / 2;
constexpr unsigned kProbMoveBits = 5;
constexpr uint32_t kTop = 1u << 24;

// The state machine: the kind of the last symbols decoded. In the first kLiteralStates
// states the last symbol was a literal; the others say what came after one or after a
// match.
constexpr unsigned kStates = 12;
constexpr unsigned kLiteralStates = 7;
constexpr unsigned kMatchAfterLiteral = 7, kRepAfterLiteral = 8, kShortRepAfterLiteral = 9;
constexpr unsigned kMatchAfterMatch = 10, kRepAfterMatch = 11;

constexpr unsigned state_after_literal(unsigned state) {
    return state < 4 ? 0 : (state < 10 ? state - 3 : state - 6);
}
constexpr unsigned state_after_match(unsigned state) {
    return state < kLiteralStates ? kMatchAfterLiteral : kMatchAfterMatch;
}
constexpr unsigned state_after_rep(unsigned state) {
    return state < kLiteralStates ? kRepAfterLiteral : kRepAfterMatch;
}
constexpr unsigned state_after_short_rep(unsigned state) {
    return state < kLiteralStates ? kShortRepAfterLiteral : kRepAfterMatch;
}

constexpr bool states_stay_in_range() {
    for (unsigned s = 0; s < kStates; ++s) {
        if (state_after_literal(s) >= kLiteralStates) return false;
        if (state_after_match(s) < kLiteralStates || state_after_match(s) >= kStates) return false;
        if (state_after_rep(s) < kLiteralStates || state_after_rep(s) >= kStates) return false;
        if (state_after_short_rep(s) < kLiteralStates || state_after_short_rep(s) >= kStates) return false;
    }
    return true;
}
static_assert(states_stay_in_range(), "a literal leads to a literal state, a match or rep to another one");

// Position states: the position's low pb bits choose among them.
constexpr unsigned kPosStates = 1u << LzmaDecoder::kMaxPb;

// A literal coder: an 8-bit tree, and for a literal after a match the pair of trees that
// follow the match byte's bits while they agree.
constexpr unsigned kByteBits = 8;
constexpr unsigned kByteSymbols = 1u << kByteBits;
constexpr unsigned kLiteralCoderSize = 3 * kByteSymbols;
static_assert(kLiteralCoderSize == 0x300);
static_assert(LzmaDecoder::kMaxLc <= kByteBits, "the literal context is bits of the previous byte");

// Match lengths from kMinMatch: a choice bit, then 8 low lengths or 8 middle ones (a tree
// per position state) or 256 high ones.
constexpr unsigned kMinMatch = 2;
constexpr unsigned kLenLowBits = 3, kLenMidBits = 3, kLenHighBits = 8;
constexpr unsigned kLenLowSymbols = 1u << kLenLowBits;
constexpr unsigned kLenMidSymbols = 1u << kLenMidBits;
constexpr unsigned kLenHighSymbols = 1u << kLenHighBits;
constexpr unsigned kLenChoice = 0;
constexpr unsigned kLenChoice2 = kLenChoice + 1;
constexpr unsigned kLenLow = kLenChoice2 + 1;                         // [posState][low]
constexpr unsigned kLenMid = kLenLow + kPosStates * kLenLowSymbols;   // [posState][mid]
constexpr unsigned kLenHigh = kLenMid + kPosStates * kLenMidSymbols;  // [high]
constexpr unsigned kLenCoderSize = kLenHigh + kLenHighSymbols;
static_assert(kLenCoderSize == 2 + 16 * 8 * 2 + 256);
constexpr unsigned kMaxMatch = kMinMatch + kLenLowSymbols + kLenMidSymbols + kLenHighSymbols - 1;
static_assert(kMaxMatch == 273);

// Distances: a 6-bit slot, its tree chosen by the length (2, 3, 4, 5 and more). Slots
// below kStartPosModelSlot are the distance; up to kEndPosModelSlot the low bits come from
// reverse trees of their own, beyond it from direct bits and one shared align tree.
constexpr unsigned kLenToPosStates = 4;
constexpr unsigned kPosSlotBits = 6;
constexpr unsigned kPosSlots = 1u << kPosSlotBits;
constexpr unsigned kStartPosModelSlot = 4;
constexpr unsigned kEndPosModelSlot = 14;
constexpr unsigned kFullDistances = 1u << (kEndPosModelSlot / 2);
constexpr unsigned kAlignBits = 4;
constexpr unsigned kAlignSize = 1u << kAlignBits;
constexpr uint32_t kEndMarkerDistance = 0xFFFFFFFFu;

// A slot's first distance and its number of low bits.
constexpr unsigned slot_bits(unsigned slot) { return slot / 2 - 1; }
constexpr uint32_t slot_base(unsigned slot) { return (2u | (slot & 1u)) << slot_bits(slot); }

// The reverse trees of the slots kStartPosModelSlot..kEndPosModelSlot-1 lie side by side,
// a slot's node 1 at slot_base(slot) - slot; together they fill the table exactly.
constexpr unsigned kSpecPosSize = kFullDistances - kEndPosModelSlot;
static_assert(slot_base(kEndPosModelSlot) == kFullDistances);
constexpr bool spec_pos_trees_fill_the_table() {
    unsigned next = 0;
    for (unsigned slot = kStartPosModelSlot; slot < kEndPosModelSlot; ++slot) {
        const unsigned first = slot_base(slot) - slot;
        if (first != next) return false;
        next = first + (1u << slot_bits(slot)) - 1;
    }
    return next == kSpecPosSize;
}
static_assert(spec_pos_trees_fill_the_table());

// Layout of the probability array: all adaptive contexts in one block so a state reset
// is one fill.
constexpr unsigned kIsMatch = 0;                                    // [state][posState]
constexpr unsigned kIsRep = kIsMatch + kStates * kPosStates;        // [state]
constexpr unsigned kIsRepG0 = kIsRep + kStates;                     // [state]
constexpr unsigned kIsRepG1 = kIsRepG0 + kStates;                   // [state]
constexpr unsigned kIsRepG2 = kIsRepG1 + kStates;                   // [state]
constexpr unsigned kIsRep0Long = kIsRepG2 + kStates;                // [state][posState]
constexpr unsigned kPosSlot = kIsRep0Long + kStates * kPosStates;   // [lenState][slot]
constexpr unsigned kSpecPos = kPosSlot + kLenToPosStates * kPosSlots;
constexpr unsigned kAlign = kSpecPos + kSpecPosSize;
constexpr unsigned kLenCoder = kAlign + kAlignSize;
constexpr unsigned kRepLenCoder = kLenCoder + kLenCoderSize;
constexpr unsigned kLiteral = kRepLenCoder + kLenCoderSize;         // [lp and lc context][literal coder]
// Every LZMA decoder has these 1846 probabilities before its 0x300 << (lc + lp) literal ones.
static_assert(kLiteral == 1846);

// The most bits one symbol decodes, each of which may take one byte of input: a match with
// the longest length and the farthest distance.
constexpr unsigned kMaxDirectBits = slot_bits(kPosSlots - 1) - kAlignBits;
constexpr unsigned kMaxSymbolBits = 2 + 2 + kLenHighBits + kPosSlotBits + kMaxDirectBits + kAlignBits;
static_assert(kMaxSymbolBits == 48);
static_assert(LzmaDecoder::kMaxSymbolInput >= kMaxSymbolBits, "callers keep enough input for any symbol");

// Match copies move kCopyBlock bytes at a time when source and destination are that far
// apart; the last block may run past the match into the window's slack.
constexpr size_t kCopyBlock = sizeof(uint64_t);
static_assert(Window::kOvershoot >= kCopyBlock - 1, "a block's overrun stays in the buffer");

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
    if (lc > kMaxLc || lp > kMaxLp || pb > kMaxPb) return false;
    lc_ = lc;
    lp_ = lp;
    pb_ = pb;
    probs_.assign(kLiteral + (kLiteralCoderSize << (lc + lp)), kProbInit);
    return true;
}

void LzmaDecoder::reset_state() {
    std::fill(probs_.begin(), probs_.end(), kProbInit);
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
    in += kRangeStartBytes;
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
        uint32_t bound = (range >> kProbBits) * v;
        if (code < bound) {
            range = bound;
            *p = static_cast<uint16_t>(v + ((kProbOne - v) >> kProbMoveBits));
            return 0;
        }
        range -= bound;
        code -= bound;
        *p = static_cast<uint16_t>(v - (v >> kProbMoveBits));
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
        if (bit(p + kLenChoice) == 0) return tree(p + kLenLow + pos_state * kLenLowSymbols, kLenLowBits);
        if (bit(p + kLenChoice2) == 0)
            return kLenLowSymbols + tree(p + kLenMid + pos_state * kLenMidSymbols, kLenMidBits);
        return kLenLowSymbols + kLenMidSymbols + tree(p + kLenHigh, kLenHighBits);
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
            if (distance + 1 >= kCopyBlock) {
                // Source and destination are at least a block apart (or the source is
                // ahead): each block's load reads only final bytes. The last block may run
                // up to kCopyBlock - 1 bytes past the match, into the window's slack or into
                // history older than any distance a valid stream can use (see Window).
                for (size_t i = 0; i < now; i += kCopyBlock) {
                    uint64_t v;
                    std::memcpy(&v, s + i, kCopyBlock);
                    std::memcpy(d + i, &v, kCopyBlock);
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
        if (bit(probs + kIsMatch + state * kPosStates + pos_state) == 0) {
            // Right after a dictionary reset (LZMA2 may reset mid-window) there is no
            // previous byte: the literal context starts from zero.
            const unsigned prev = (full || processed) ? dict[(pos != 0 ? pos : cap) - 1] : 0;
            uint16_t* lit =
                probs + kLiteral + kLiteralCoderSize * (((processed & lp_mask) << lc) + (prev >> (kByteBits - lc)));
            unsigned sym = 1;
            if (state < kLiteralStates) {
#define LZMA_LITERAL_BIT sym = (sym << 1) | bit(lit + sym)
                LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT;
                LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT; LZMA_LITERAL_BIT;
#undef LZMA_LITERAL_BIT
            } else {
                if (!full && rep0 >= processed) { status = Status::Corrupt; break; }
                unsigned match_byte = dict[source_of(rep0)];
                unsigned offs = kByteSymbols;
                do {
                    match_byte <<= 1;
                    const unsigned match_bit = match_byte & offs;
                    const unsigned b = bit(lit + offs + match_bit + sym);
                    sym = (sym << 1) | b;
                    offs &= b ? match_bit : ~match_bit;
                } while (sym < kByteSymbols);
            }
            dict[pos++] = static_cast<uint8_t>(sym);
            ++processed;
            state = state_after_literal(state);
            continue;
        }
        unsigned len;
        if (bit(probs + kIsRep + state) == 0) {
            len = length(probs + kLenCoder, pos_state);
            const unsigned len_state = std::min(len, kLenToPosStates - 1);
            const unsigned slot = tree(probs + kPosSlot + len_state * kPosSlots, kPosSlotBits);
            uint32_t distance;
            if (slot < kStartPosModelSlot) {
                distance = slot;
            } else {
                unsigned direct = slot_bits(slot);
                distance = slot_base(slot);
                if (slot < kEndPosModelSlot) {
                    distance += reverse_tree(probs + kSpecPos + distance - slot - 1, direct);
                } else {
                    direct -= kAlignBits;
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
                    distance += high << kAlignBits;
                    distance += reverse_tree(probs + kAlign, kAlignBits);
                    if (distance == kEndMarkerDistance) { status = Status::EndMarker; break; }
                }
            }
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            rep0 = distance;
            state = state_after_match(state);
        } else {
            if (!full && processed == 0) { status = Status::Corrupt; break; }
            if (bit(probs + kIsRepG0 + state) == 0) {
                if (bit(probs + kIsRep0Long + state * 16 + pos_state) == 0) {
                    if (!full && rep0 >= processed) { status = Status::Corrupt; break; }
                    state = state_after_short_rep(state);
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
            state = state_after_rep(state);
        }
        if (rep0 >= (full ? cap : processed)) { status = Status::Corrupt; break; }
        pending_ = copy_match(rep0, len + kMinMatch);
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

namespace {

// The properties byte is (pb * (kMaxLp + 1) + lp) * (kMaxLc + 1) + lc; false for a byte
// beyond the largest.
bool split_properties_byte(unsigned byte, unsigned& lc, unsigned& lp, unsigned& pb) {
    constexpr unsigned lc_values = LzmaDecoder::kMaxLc + 1, lp_values = LzmaDecoder::kMaxLp + 1;
    constexpr unsigned pb_values = LzmaDecoder::kMaxPb + 1;
    if (byte >= lc_values * lp_values * pb_values) return false;
    lc = byte % lc_values;
    byte /= lc_values;
    lp = byte % lp_values;
    pb = byte / lp_values;
    return true;
}

}  // namespace

LzmaProperties parse_lzma_properties(const std::vector<uint8_t>& props) {
    constexpr size_t properties_size = 1 + 4;  // the lc, lp and pb byte, the dictionary size
    if (props.size() < properties_size) corrupt("LZMA properties are too short");
    LzmaProperties p;
    if (!split_properties_byte(props[0], p.lc, p.lp, p.pb)) corrupt("LZMA properties are invalid");
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
        if (in_end_ - in_pos_ < LzmaDecoder::kRangeStartBytes) corrupt("LZMA data is truncated");
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
        unsigned lc, lp, pb;
        if (!split_properties_byte(header[5], lc, lp, pb) || lc + lp > LzmaDecoder::kMaxLzma2LcLp ||
            !decoder_.configure(lc, lp, pb))
            corrupt("LZMA2 properties are invalid");
        need_properties_ = false;
    } else if (need_properties_) {
        corrupt("LZMA2 data is corrupt");
    }
    if (mode >= 1) decoder_.reset_state();
    if (packed < LzmaDecoder::kRangeStartBytes || read_fully(*in_, chunk_.get(), packed) != packed)
        corrupt("LZMA2 data is truncated");
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
