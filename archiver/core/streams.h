// Pull streams: every coder of a folder is a stream that reads from its inputs, so a
// folder decodes in bounded memory however large its unpacked size is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace archiver {

class InStream {
public:
    virtual ~InStream() = default;
    // Reads up to `size` bytes; returns 0 only at the end of the stream.
    // Corrupt data raises ArchiveError.
    virtual size_t read(uint8_t* buffer, size_t size) = 0;
};

// Random access to the archive file (or to memory, for tests and fuzzing).
class ArchiveSource {
public:
    virtual ~ArchiveSource() = default;
    virtual uint64_t size() const = 0;
    // Reads up to `size` bytes at `offset`; returns fewer only at the end of the source.
    virtual size_t read_at(uint64_t offset, uint8_t* buffer, size_t size) = 0;
};

class MemorySource : public ArchiveSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t size() const override { return size_; }
    size_t read_at(uint64_t offset, uint8_t* buffer, size_t size) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// One packed stream: a byte range of the archive.
class PackStream : public InStream {
public:
    PackStream(ArchiveSource& source, uint64_t offset, uint64_t size)
        : source_(source), offset_(offset), remaining_(size) {}
    size_t read(uint8_t* buffer, size_t size) override;

private:
    ArchiveSource& source_;
    uint64_t offset_;
    uint64_t remaining_;
};

// Reads until `size` bytes are in or the stream ends; returns the count read.
size_t read_fully(InStream& in, uint8_t* buffer, size_t size);

// Byte-wise reading over a refilled block, for coders that consume input one byte at a time.
class ByteReader {
public:
    explicit ByteReader(InStream& in, size_t block = 1 << 16) : in_(in), buffer_(new uint8_t[block]), block_(block) {}
    // Returns -1 at the end of the stream.
    int get() {
        if (pos_ == end_ && !refill()) return -1;
        return buffer_[pos_++];
    }
    bool at_end() { return pos_ == end_ && !refill(); }
    // Direct access to the buffered bytes (refilled when empty).
    const uint8_t* data() const { return buffer_.get() + pos_; }
    size_t available() const { return end_ - pos_; }
    void skip(size_t n) { pos_ += n; }
    bool refill();

private:
    InStream& in_;
    std::unique_ptr<uint8_t[]> buffer_;  // bytes are read before they are used: no zeroing
    size_t block_;
    size_t pos_ = 0, end_ = 0;
};

}  // namespace archiver
