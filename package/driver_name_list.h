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

// The key of a section's k-th printer name: "PrintName1", "PrintName2" ...
std::string printerNameKey(int k);

// One section of the printer-name list: its name (never shown; only its position counts)
// and the printer names it offers.
struct DriverNameSection {
    std::string name;
    std::vector<std::string> printerNames;
};

// The sections of the printer-name list in file order, read as the installer reads them; a
// larger section-name buffer than the installer's shows what its buffer leaves out.
std::vector<DriverNameSection> readDriverNameList(FileSystem& files, const std::string& listFile,
                                                  std::uint32_t namesBufferSize = sectionNamesBufferSize);

// The printer names of each section of the printer-name list, in file order: the
// position of a section is the driver index of its names.
std::vector<std::vector<std::string>> readDriverNameSections(FileSystem& files, const std::string& listFile);

// The driver index of a printer name: the position of the last section that lists it.
std::optional<int> driverIndexOf(const std::vector<std::vector<std::string>>& sections, const std::string& name);

}  // namespace setup
