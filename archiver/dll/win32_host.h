// The Windows host: paths arrive as UTF-8 and are created with the wide-character API.
#pragma once
#include <string>

#include "archiver/core/output_sink.h"

namespace archiver {

class Win32Host : public Host {
public:
    std::unique_ptr<ArchiveSource> open_archive(const std::string& path) override;
    std::unique_ptr<OutputSink> open_destination(const std::string& folder) override;
};

std::wstring utf8_to_wide(const std::string& s);
std::string wide_to_codepage(const std::wstring& s, unsigned codepage);
std::wstring codepage_to_wide(const std::string& s, unsigned codepage);

}  // namespace archiver
