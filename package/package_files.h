#pragma once

#include <functional>
#include <string>
#include <vector>

#include "package/unpack_manifest.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace setup {

struct DialogContext;
class ArchiveLibrary;

// The driver package of this run: what unpacking it wrote, whether the driver list may be
// read from it, and why not when it may not.
struct PackageState {
    UnpackManifest manifest;
    bool unpacked = false;
    bool journalKept = false;  // the registry holds the journal of what this run unpacks
    std::string problem;  // what the user was told; empty when unpacked or simply absent
    // The listing showed that nothing need be unpacked: nothing was.
    bool notNeeded = false;
};

// Asked with the listing of a readable package before anything is written: false when the
// package need not be unpacked.
using UnpackNeeded = std::function<bool(const std::vector<ArchiveEntry>& entries)>;

// Unpacks the driver package from the current directory into C:\, after checking that it
// writes only to its places and that nothing not ours is in the way. A package that fails
// to unpack is removed at once and the user is told why.
// `needed`, when given, may find that nothing need be unpacked.
void extractPackage(DialogContext& context, ArchiveLibrary& archiveLibrary, PackageState& package,
                    const UnpackNeeded& needed = {});

// Fills the driver list from the printer-name list the package brought, and shows the
// first name. Without an unpacked package the list stays empty.
void fillDriverList(DialogContext& context, const PackageState& package);

// What Install says when no printer is chosen: why the driver list is empty.
std::string noPrinterMessage(const PackageState& package);

// Removes what the package unpacked, and only that, then the journal of it; a file that
// could not be removed keeps the journal for the next run.
void removePackage(Platform& platform, PackageState& package);

}  // namespace setup
