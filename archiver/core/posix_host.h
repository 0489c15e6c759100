// The native host: archives and destinations are POSIX paths (UTF-8 names on Linux).
#pragma once
#include "archiver/core/output_sink.h"

namespace archiver {

class PosixHost : public Host {
public:
    std::unique_ptr<ArchiveSource> open_archive(const std::string& path) override;
    std::unique_ptr<OutputSink> open_destination(const std::string& folder) override;
};

}  // namespace archiver
