#pragma once

// What the checker takes from the system it runs on: its arguments, the package file, the
// system's profile functions for the printer-name list, and its standard output.

#include <memory>
#include <string>
#include <vector>

#include "archiver/core/streams.h"
#include "pkgcheck/package_check.h"

namespace setup::pkgcheck {

// The command line's arguments after the program's name, in UTF-8.
std::vector<std::string> commandArguments(int argc, char** argv);

// The package file for reading; raises archiver::ArchiveError when it cannot be opened.
std::unique_ptr<archiver::ArchiveSource> openPackage(const std::string& path);

// The printer-name list's bytes, read through the profile functions as the installer reads
// C:\DriverName.cfg. Whatever it writes to do so is gone when it returns.
DriverNameListView readDriverNameListBytes(const std::string& content);

// Writes the report's bytes (UTF-8) to standard output.
void writeOut(const std::string& text);

}  // namespace setup::pkgcheck
