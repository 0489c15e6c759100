#pragma once

// The files the receipt and label engines would copy, worked out from each driver's own
// file list (every driver index, every driver-list text that changes a choice, both
// bitnesses), so that tests can hold the package's file list against them.

#include <set>
#include <string>
#include <utility>

#include "install/model_tables.h"

namespace setup::testing {

using FolderFile = std::pair<PackageFolder, std::string>;

inline std::set<FolderFile> lookupFiles(Program program) {
    std::set<FolderFile> files;
    for (bool is64Bit : {false, true})
        for (int index = 0; index < driverCount; ++index)
            for (std::string_view text : {"", "Series R20", "Series R32"})
                for (const PackageFile& file : driverFiles(program, index, text, is64Bit))
                    files.insert({file.folder, file.name});
    return files;
}

}  // namespace setup::testing
