#include "archiver/core/streams.h"

#include <algorithm>
#include <cstring>

#include "archiver/core/archive_error.h"

namespace archiver {

size_t MemorySource::read_at(uint64_t offset, uint8_t* buffer, size_t size) {
    if (offset >= size_) return 0;
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, size_ - offset));
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

size_t PackStream::read(uint8_t* buffer, size_t size) {
    if (remaining_ == 0 || size == 0) return 0;
    size_t want = static_cast<size_t>(std::min<uint64_t>(size, remaining_));
    size_t got = source_.read_at(offset_, buffer, want);
    if (got == 0) corrupt("unexpected end of archive");
    offset_ += got;
    remaining_ -= got;
    return got;
}

size_t read_fully(InStream& in, uint8_t* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        size_t n = in.read(buffer + done, size - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool ByteReader::refill() {
    pos_ = 0;
    end_ = in_.read(buffer_.get(), block_);
    return end_ != 0;
}

}  // namespace archiver
