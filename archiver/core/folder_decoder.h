// Turns a folder's coder graph into one stream of its unpacked data.
#pragma once
#include <memory>

#include "archiver/core/folder_info.h"
#include "archiver/core/streams.h"

namespace archiver {

// Whether we decode this coder: a method we know with the number of inputs it takes.
bool coder_supported(const CoderInfo& coder);

// The history window an LZMA or LZMA2 coder of a folder decodes with (0 for other coders):
// the memory it costs, which must stay within kMaxWindowSize.
uint64_t coder_window_size(const FolderInfo& folder, size_t coder);

// Raises ArchiveError(Unsupported) naming the first method we cannot decode.
void check_folders_supported(const StreamsInfo& streams);

std::unique_ptr<InStream> open_folder(ArchiveSource& source, const StreamsInfo& streams, size_t folder);

}  // namespace archiver
