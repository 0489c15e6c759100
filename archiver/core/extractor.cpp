#include "archiver/core/extractor.h"

#include <algorithm>
#include <vector>

#include "archiver/core/archive_error.h"
#include "archiver/core/archive_reader.h"
#include "archiver/core/crc32.h"
#include "archiver/core/entry_path.h"
#include "archiver/core/folder_decoder.h"

namespace archiver {
namespace {

constexpr size_t kCopyBlock = 1 << 18;

struct PlannedEntry {
    const Entry* entry;
    std::string path;  // destination-relative; empty when skipped
};

EntryMetadata metadata_of(const Entry& e) {
    EntryMetadata m;
    m.has_mtime = e.has_mtime;
    m.mtime = e.mtime;
    m.has_attributes = e.has_attributes;
    m.attributes = e.attributes;
    return m;
}

// Where each entry goes; an empty path for the entries that write nothing.
std::vector<PlannedEntry> plan(const ArchiveDatabase& db, const ExtractOptions& options) {
    std::vector<PlannedEntry> planned;
    planned.reserve(db.entries.size());
    for (const Entry& e : db.entries) {
        std::string path = safe_relative_path(e.name);  // refuses before anything is written
        if (e.is_anti || (e.is_directory && !options.keep_paths)) path.clear();
        else if (!options.keep_paths) path = base_name(path);
        planned.push_back({&e, std::move(path)});
    }
    return planned;
}

std::vector<PlannedEntry> plan(const ArchiveDatabase& db, const ExtractOptions& options, OutputSink& sink) {
    std::vector<PlannedEntry> planned = plan(db, options);
    if (!options.overwrite)
        for (const auto& p : planned)
            if (!p.path.empty() && !p.entry->is_directory && sink.exists(p.path))
                fail(ErrorKind::Io, "\"" + p.path + "\" already exists (use -y to overwrite)");
    return planned;
}

// Reads the folders in order, handing out each file's bytes.
class FolderReader {
public:
    FolderReader(ArchiveSource& source, const StreamsInfo& streams) : source_(source), streams_(streams) {}

    void copy_to(const PlannedEntry& p, OutputFile* out, std::vector<uint8_t>& buffer) {
        const Entry& e = *p.entry;
        if (e.folder != folder_) open(e.folder);
        uint64_t left = e.size;
        uint32_t crc = 0;
        while (left > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
            const size_t got = read_fully(*stream_, buffer.data(), want);
            if (got == 0) corrupt("data of \"" + e.name + "\" is truncated");
            crc = crc32_update(crc, buffer.data(), got);
            if (folder_crc_wanted_) folder_crc_ = crc32_update(folder_crc_, buffer.data(), got);
            if (out) out->write(buffer.data(), got);
            left -= got;
        }
        if (e.has_crc && crc != e.crc) corrupt("CRC error in \"" + e.name + "\"");
        folder_left_ -= e.size;
        if (folder_left_ == 0 && folder_crc_wanted_ && folder_crc_ != streams_.folders[folder_].crc)
            corrupt("CRC error in \"" + e.name + "\"");
    }

private:
    void open(size_t folder) {
        if (folder >= streams_.folders.size()) corrupt("archive header is corrupt");
        folder_ = folder;
        stream_ = open_folder(source_, streams_, folder);
        const FolderInfo& f = streams_.folders[folder];
        folder_left_ = f.unpack_size();
        // A folder CRC over several files is only checked in addition to theirs.
        folder_crc_wanted_ = f.has_crc && streams_.streams_per_folder[folder] > 1;
        folder_crc_ = 0;
    }

    ArchiveSource& source_;
    const StreamsInfo& streams_;
    size_t folder_ = SIZE_MAX;
    std::unique_ptr<InStream> stream_;
    uint64_t folder_left_ = 0;
    bool folder_crc_wanted_ = false;
    uint32_t folder_crc_ = 0;
};

uint64_t packed_share(const StreamsInfo& s, const Entry& e) {
    if (!e.has_stream) return 0;
    const FolderInfo& f = s.folders[e.folder];
    uint64_t packed = 0;
    for (size_t k = 0; k < f.packed_inputs.size(); ++k) packed += s.pack_sizes[f.first_pack_stream + k];
    const uint64_t total = f.unpack_size();
    if (total == 0 || e.size >= total) return packed;
    return static_cast<uint64_t>(static_cast<double>(packed) * static_cast<double>(e.size) / static_cast<double>(total));
}

}  // namespace

ExtractSummary extract_archive(ArchiveSource& source, OutputSink& sink, const ExtractOptions& options,
                               const ProgressCallback& progress) {
    const ArchiveDatabase db = read_archive(source);
    check_folders_supported(db.streams);
    const std::vector<PlannedEntry> planned = plan(db, options, sink);

    ExtractSummary summary;
    sink.make_directories("");
    FolderReader reader(source, db.streams);
    uint64_t largest = 1;
    for (const Entry& e : db.entries) largest = std::max(largest, e.size);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kCopyBlock, largest)));
    for (const auto& p : planned) {
        const Entry& e = *p.entry;
        if (!p.path.empty() && progress && !progress(ProgressInfo{p.path, e.size, packed_share(db.streams, e)}))
            fail(ErrorKind::Cancelled, "extraction cancelled at \"" + p.path + "\"");
        if (p.path.empty()) {
            if (e.has_stream) reader.copy_to(p, nullptr, buffer);  // keep the folder in step
            continue;
        }
        if (e.is_directory) {
            sink.make_directories(p.path);
            ++summary.folders;
            continue;
        }
        auto out = sink.create_file(p.path);
        if (e.has_stream) reader.copy_to(p, out.get(), buffer);
        out->commit(metadata_of(e));
        ++summary.files;
        summary.bytes += e.size;
    }
    // Folder times last: creating their contents changed them.
    for (auto it = planned.rbegin(); it != planned.rend(); ++it)
        if (!it->path.empty() && it->entry->is_directory) sink.set_directory_metadata(it->path, metadata_of(*it->entry));
    return summary;
}

namespace {

// Hands a tested entry's bytes to the observer instead of a file.
class ObservedFile : public OutputFile {
public:
    ObservedFile(TestObserver& observer, size_t entry) : observer_(observer), entry_(entry) {}
    void write(const uint8_t* data, size_t size) override { observer_.data(entry_, data, size); }
    void commit(const EntryMetadata&) override {}

private:
    TestObserver& observer_;
    size_t entry_;
};

}  // namespace

void test_archive(ArchiveSource& source, const ArchiveDatabase& db, TestObserver& observer) {
    std::vector<uint8_t> buffer(kCopyBlock);
    auto reader = std::make_unique<FolderReader>(source, db.streams);
    size_t failed_folder = SIZE_MAX;
    for (size_t i = 0; i < db.entries.size(); ++i) {
        const Entry& e = db.entries[i];
        if (!e.has_stream) {
            observer.passed(i);
            continue;
        }
        if (e.folder == failed_folder) {
            observer.untested(i);
            continue;
        }
        ObservedFile out(observer, i);
        try {
            reader->copy_to(PlannedEntry{&e, {}}, &out, buffer);
            observer.passed(i);
        } catch (const ArchiveError& error) {
            if (error.kind() == ErrorKind::Io) throw;
            observer.failed(i, error);
            // The block's stream is left mid-way: the next block starts a fresh reader.
            failed_folder = e.folder;
            reader = std::make_unique<FolderReader>(source, db.streams);
        }
    }
}

std::vector<ListedEntry> list_archive(ArchiveSource& source, const ExtractOptions& options) {
    const ArchiveDatabase db = read_archive(source);
    check_folders_supported(db.streams);
    std::vector<ListedEntry> listed;
    for (const PlannedEntry& p : plan(db, options))
        if (!p.path.empty()) listed.push_back({p.path, p.entry->is_directory, p.entry->size, p.entry->has_crc, p.entry->crc});
    return listed;
}

}  // namespace archiver
