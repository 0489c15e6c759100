// Turns a folder's coder graph into one stream of its unpacked data.
#pragma once
#include <memory>

#include "archiver/core/archive_reader.h"
#include "archiver/core/streams.h"

namespace archiver {

// Raises ArchiveError(Unsupported) naming the first method we cannot decode.
void check_folders_supported(const StreamsInfo& streams);

std::unique_ptr<InStream> open_folder(ArchiveSource& source, const StreamsInfo& streams, size_t folder);

}  // namespace archiver
