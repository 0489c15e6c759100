#pragma once

// Writes the unpacked sample driver package: DriverName.cfg and every driver file of both
// programs' model tables, in the folders the engines copy them from. One package serves
// both programs.

#include <filesystem>
#include <string>

#include "install/model_tables.h"

namespace setup::sample {

inline constexpr const char* printerNameListFile = "DriverName.cfg";

// Where a package folder lies in a tree written under root.
std::filesystem::path folderOnDisk(const std::filesystem::path& root, PackageFolder folder);

// The printer-name list: one section per driver index, each offering the model's display
// name first and, for some models, further printer names. CRLF line endings.
std::string printerNameList();

// Writes the whole tree under root. Every DLL is a copy of dll32 or dll64, by the bitness
// of its folder; the other files get small text contents naming their models.
// Throws std::filesystem::filesystem_error when a file cannot be written.
void writeSamplePackage(const std::filesystem::path& root, const std::filesystem::path& dll32,
                        const std::filesystem::path& dll64);

}  // namespace setup::sample
