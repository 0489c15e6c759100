#pragma once

#include <string>

#include "platform/files.h"

namespace setup {

struct DialogContext;
class ArchiveLibrary;

// Unpacks the driver package from the current directory into C:\.
void extractPackage(DialogContext& context, ArchiveLibrary& archiveLibrary);

// Fills the driver list from the printer-name list and shows the first name.
void fillDriverList(DialogContext& context);

// Removes what the package unpacked.
void removePackage(FileSystem& files);

// Removes a folder with everything in it; true when the folder itself is gone.
bool removeTree(FileSystem& files, const std::string& folder);

}  // namespace setup
