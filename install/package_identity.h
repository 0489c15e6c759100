#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/program.h"
#include "platform/archiver_dll.h"

namespace setup {

// The identity of what a package installs for one driver: 16 hex digits of a 64-bit FNV-1a
// over one "name|size|crc" line per file, in a fixed order. The files are the printer-name
// list (it decides which driver a listed name gets) and every file the model tables name
// for that driver, for both bitnesses; the listed name the driver was chosen by is a line
// too (it picks the group DLL). Two packages with the same such files give the same
// identity; a change in any of them gives another. Computed from the archive's listing, it
// is known before anything is unpacked.
//
// entries: the package's files as the archive lists them (paths below the drive root, any
// case). A file the package lacks counts as a line of its own, so that its absence changes
// the identity too.
std::string packageIdentity(Program program, int driverIndex, std::string_view driverListText,
                            std::span<const ArchiveEntry> entries);

// The driver index whose driver the spooler knows by this name; nothing for a name the model
// tables do not give.
std::optional<int> driverIndexOfDisplayName(std::string_view displayName);

// The name the spooler knows a driver index's driver by; empty outside the tables.
std::string driverDisplayName(Program program, int driverIndex);

}  // namespace setup
