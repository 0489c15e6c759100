// Where extracted entries go. The core decides what to write; a sink knows how the host
// creates folders and files. Paths are relative to the destination, UTF-8, '/'-separated,
// and already checked by safe_relative_path.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace archiver {

struct EntryMetadata {
    bool has_mtime = false;
    uint64_t mtime = 0;  // FILETIME: 100 ns units since 1601-01-01 UTC
    bool has_attributes = false;
    uint32_t attributes = 0;  // Windows attributes; bit 15 set: POSIX mode in the high 16 bits
};

constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeUnixExtension = 0x8000;

// A file being written under a temporary name beside its final one.
class OutputFile {
public:
    virtual ~OutputFile() = default;  // removes the temporary file unless committed
    virtual void write(const uint8_t* data, size_t size) = 0;
    // Closes the file, applies time and attributes, and renames it to its final name.
    virtual void commit(const EntryMetadata& meta) = 0;
};

class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void make_directories(const std::string& path) = 0;  // "" is the destination itself
    virtual bool exists(const std::string& path) = 0;
    // Creates the parent folders and a temporary file beside `path`.
    virtual std::unique_ptr<OutputFile> create_file(const std::string& path) = 0;
    virtual void set_directory_metadata(const std::string& path, const EntryMetadata& meta) = 0;
};

// Everything a front end gets from its host: the archive and the destination.
class Host {
public:
    virtual ~Host() = default;
    virtual std::unique_ptr<class ArchiveSource> open_archive(const std::string& path) = 0;
    virtual std::unique_ptr<OutputSink> open_destination(const std::string& folder) = 0;
};

}  // namespace archiver
