#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace setup {

// The limits under which the printer-name list is read.
constexpr std::uint32_t sectionNamesBufferSize = 3000;
constexpr std::uint32_t printerNameBufferSize = 128;
constexpr int maxPrinterNamesPerSection = 50;

// The printer names of each section of the printer-name list, in file order: the
// position of a section is the driver index of its names.
std::vector<std::vector<std::string>> readDriverNameSections(FileSystem& files, const std::string& listFile);

// The driver index of a printer name: the position of the last section that lists it.
std::optional<int> driverIndexOf(const std::vector<std::vector<std::string>>& sections, const std::string& name);

}  // namespace setup
