#pragma once

#include <string>

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
};

// Unpacks the driver package from the current directory into C:\, after checking that it
// writes only to its places and that nothing not ours is in the way. A package that fails
// to unpack is removed at once and the user is told why.
void extractPackage(DialogContext& context, ArchiveLibrary& archiveLibrary, PackageState& package);

// Fills the driver list from the printer-name list the package brought, and shows the
// first name. Without an unpacked package the list stays empty.
void fillDriverList(DialogContext& context, const PackageState& package);

// What Install says when no printer is chosen: why the driver list is empty.
std::string noPrinterMessage(const PackageState& package);

// Removes what the package unpacked, and only that, then the journal of it; a file that
// could not be removed keeps the journal for the next run.
void removePackage(Platform& platform, PackageState& package);

}  // namespace setup
