// libFuzzer target: the listing path and the whole extraction path (signature, headers,
// coders, CRCs, names) over an in-memory archive, with output discarded. Any crash, sanitizer report, leak,
// time-out or allocation beyond libFuzzer's limits is a bug; ArchiveError is the expected
// way to fail.
//   cmake -DARCHIVER_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ...
//   archiver_fuzz -rss_limit_mb=2048 -timeout=10 corpus/
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archiver/core/archive_error.h"
#include "archiver/core/extractor.h"
#include "archiver/core/streams.h"

namespace {

class DiscardFile : public archiver::OutputFile {
public:
    void write(const uint8_t*, size_t) override {}
    void commit(const archiver::EntryMetadata&) override {}
};

class DiscardSink : public archiver::OutputSink {
public:
    void make_directories(const std::string&) override {}
    bool exists(const std::string&) override { return false; }
    std::unique_ptr<archiver::OutputFile> create_file(const std::string&) override {
        return std::make_unique<DiscardFile>();
    }
    void set_directory_metadata(const std::string&, const archiver::EntryMetadata&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    archiver::MemorySource source(data, size);
    DiscardSink sink;
    archiver::ExtractOptions options;
    try {
        archiver::list_archive(source, options);
    } catch (const archiver::ArchiveError&) {
    }
    try {
        archiver::extract_archive(source, sink, options, [](const archiver::ProgressInfo&) { return true; });
    } catch (const archiver::ArchiveError&) {
    }
    return 0;
}
