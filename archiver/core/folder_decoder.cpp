#include "archiver/core/folder_decoder.h"

#include "archiver/core/archive_error.h"
#include "archiver/core/filters.h"
#include "archiver/core/lzma_decoder.h"

namespace archiver {
namespace {

enum Method : uint64_t {
    kCopy = 0x00, kDelta = 0x03, kX86 = 0x04, kArm64 = 0x0A, kLzma2 = 0x21, kLzma = 0x030101,
    kBcj = 0x03030103, kBcj2 = 0x0303011B,
};

class FolderBuilder {
public:
    FolderBuilder(ArchiveSource& source, const StreamsInfo& streams, const FolderInfo& folder)
        : source_(source), streams_(streams), folder_(folder) {}

    std::unique_ptr<InStream> coder_output(uint32_t coder, unsigned depth) {
        if (depth > folder_.coders.size()) corrupt("archive header is corrupt");
        const CoderInfo& info = folder_.coders[coder];
        uint32_t first_input = 0;
        for (uint32_t i = 0; i < coder; ++i) first_input += folder_.coders[i].num_inputs;
        std::vector<std::unique_ptr<InStream>> inputs;
        for (uint32_t k = 0; k < info.num_inputs; ++k) inputs.push_back(coder_input(first_input + k, depth));
        const uint64_t size = folder_.unpack_sizes[coder];
        const auto& props = info.properties;
        switch (info.method) {
        case kCopy:
            return std::move(inputs[0]);
        case kLzma:
            return std::make_unique<LzmaStream>(std::move(inputs[0]), props, size);
        case kLzma2:
            return std::make_unique<Lzma2Stream>(std::move(inputs[0]), props, size);
        case kX86:
        case kBcj:
            return std::make_unique<FilterStream>(std::move(inputs[0]), std::make_unique<X86Filter>());
        case kArm64: {
            uint32_t start = 0;
            if (props.size() >= 4) start = props[0] | (props[1] << 8) | (props[2] << 16) | (uint32_t{props[3]} << 24);
            return std::make_unique<FilterStream>(std::move(inputs[0]), std::make_unique<Arm64Filter>(start));
        }
        case kDelta:
            if (props.size() != 1) corrupt("Delta properties are invalid");
            return std::make_unique<FilterStream>(std::move(inputs[0]), std::make_unique<DeltaFilter>(props[0] + 1u));
        case kBcj2:
            return std::make_unique<Bcj2Stream>(std::move(inputs), size);
        default:
            fail(ErrorKind::Unsupported, "unsupported method: " + method_name(info.method));
        }
    }

private:
    std::unique_ptr<InStream> coder_input(uint32_t input, unsigned depth) {
        for (const auto& bp : folder_.bind_pairs)
            if (bp.input == input) return coder_output(bp.output, depth + 1);
        for (size_t k = 0; k < folder_.packed_inputs.size(); ++k) {
            if (folder_.packed_inputs[k] != input) continue;
            const size_t index = folder_.first_pack_stream + k;
            return std::make_unique<PackStream>(source_, streams_.pack_offsets.at(index), streams_.pack_sizes.at(index));
        }
        corrupt("archive header is corrupt");
    }

    ArchiveSource& source_;
    const StreamsInfo& streams_;
    const FolderInfo& folder_;
};

}  // namespace

bool coder_supported(const CoderInfo& c) {
    switch (c.method) {
    case kCopy: case kDelta: case kX86: case kBcj: case kArm64: case kLzma: case kLzma2:
        return c.num_inputs == 1;
    case kBcj2:
        return c.num_inputs == 4;
    default:
        return false;
    }
}

uint64_t coder_window_size(const FolderInfo& folder, size_t coder) {
    const CoderInfo& c = folder.coders.at(coder);
    const uint64_t size = folder.unpack_sizes.at(coder);
    if (c.method == kLzma) return window_size(parse_lzma_properties(c.properties).dictionary, size);
    if (c.method == kLzma2) return window_size(lzma2_dictionary_size(c.properties), size);
    return 0;
}

void check_folders_supported(const StreamsInfo& streams) {
    for (const auto& folder : streams.folders)
        for (const auto& coder : folder.coders)
            if (!coder_supported(coder)) {
                const std::string name = method_name(coder.method);
                if (is_encryption(coder.method))
                    fail(ErrorKind::Unsupported, "encrypted archives are not supported (" + name + ")");
                fail(ErrorKind::Unsupported, "unsupported compression method: " + name);
            }
}

std::unique_ptr<InStream> open_folder(ArchiveSource& source, const StreamsInfo& streams, size_t folder) {
    const FolderInfo& f = streams.folders.at(folder);
    FolderBuilder builder(source, streams, f);
    return builder.coder_output(f.main_output, 0);
}

}  // namespace archiver
