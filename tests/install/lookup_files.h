#pragma once

// The files the receipt and label engines would copy, worked out from the lookups alone
// (every driver index, every driver-list text that changes a choice, both bitnesses), so
// that tests can hold the package's file list against what the engines really ask for.

#include <set>
#include <string>
#include <utility>

#include "install/model_tables.h"

namespace setup::testing {

using FolderFile = std::pair<PackageFolder, std::string>;

inline std::set<FolderFile> lookupFiles(Program program) {
    std::set<FolderFile> files;
    const std::string plugin(pluginBaseName);
    for (bool is64Bit : {false, true}) {
        PackageFolder ticket = is64Bit ? PackageFolder::TicketX64 : PackageFolder::TicketX86;
        PackageFolder barcode = is64Bit ? PackageFolder::BarcodeX64 : PackageFolder::BarcodeX86;
        for (int index = 0; index < driverCount; ++index) {
            for (std::string_view text : {"", "Series R20", "Series R32"}) {
                auto receipt = receiptLookup(program, index, text);
                if (!receipt) continue;
                files.insert({ticket, receipt->gpdFile()});
                files.insert({ticket, receipt->groupDllFile()});
                files.insert({ticket, plugin + std::string(pluginLibraryExtension)});
                files.insert({ticket, plugin + std::string(pluginSettingsExtension)});
                for (const char* name : unidrvFiles()) files.insert({ticket, name});
            }
            if (auto label = labelLookup(index, is64Bit)) {
                for (const char* name : label->files) files.insert({barcode, name});
                files.insert({PackageFolder::BarcodeCommon, std::string(labelHelpFile)});
                for (std::string_view extension : labelDataExtensions)
                    files.insert({PackageFolder::BarcodeCommon, label->dataFile(extension)});
            }
        }
    }
    return files;
}

}  // namespace setup::testing
