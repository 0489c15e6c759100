// Extracts a whole archive into a sink: checks every name first, then streams each folder
// into its files, verifying CRCs before a file gets its final name.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archiver/core/archive_error.h"
#include "archiver/core/archive_reader.h"
#include "archiver/core/output_sink.h"
#include "archiver/core/streams.h"

namespace archiver {

struct ProgressInfo {
    const std::string& path;  // relative path as it will be written ('/'-separated, UTF-8)
    uint64_t size;            // unpacked size
    uint64_t packed_size;     // the file's share of its folder's packed size
};
// Called once per entry before it is written; returning false stops the extraction.
using ProgressCallback = std::function<bool(const ProgressInfo&)>;

struct ExtractOptions {
    bool keep_paths = true;  // "x"; false for "e" (every file straight into the destination)
    bool overwrite = true;   // "-y"; without it an existing file stops the extraction
};

struct ExtractSummary {
    uint64_t files = 0;
    uint64_t folders = 0;
    uint64_t bytes = 0;
};

ExtractSummary extract_archive(ArchiveSource& source, OutputSink& sink, const ExtractOptions& options,
                               const ProgressCallback& progress);

// An entry as an extraction with the same options would write it.
struct ListedEntry {
    std::string path;  // relative path ('/'-separated, UTF-8), exactly as the extraction writes it
    bool is_directory = false;
    uint64_t size = 0;
    bool has_crc = false;  // an empty file or a folder carries none
    uint32_t crc = 0;      // CRC-32 of the unpacked bytes, when has_crc
};

// What extract_archive would write, in the order it writes it (the order in which it calls
// its progress callback, once per entry), without decoding any data. Raises ArchiveError
// for the same catalogue, name and method faults as extract_archive does before writing.
std::vector<ListedEntry> list_archive(ArchiveSource& source, const ExtractOptions& options);

// What testing an archive reports, entry by entry (indexes into the database's entries).
class TestObserver {
public:
    virtual ~TestObserver() = default;
    // The next bytes of an entry's data, in order, as they are decoded.
    virtual void data(size_t entry, const uint8_t* bytes, size_t size) = 0;
    // The entry's data decoded whole and matched its CRC; folders and empty files pass at once.
    virtual void passed(size_t entry) = 0;
    // Its data is damaged, truncated, in a method we do not decode, or beyond a size limit.
    virtual void failed(size_t entry, const ArchiveError& error) = 0;
    // It shares its solid block with an entry that failed: its data cannot be reached.
    virtual void untested(size_t entry) = 0;
};

// Decodes every entry's data and checks every CRC without writing anything, as "t" does,
// but goes on after a damaged block with the next one, so that every damage is reported.
// Raises ArchiveError only when the archive itself cannot be read (I/O).
void test_archive(ArchiveSource& source, const ArchiveDatabase& db, TestObserver& observer);

}  // namespace archiver
