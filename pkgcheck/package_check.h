#pragma once

// Checks a driver package as the installer of one program would read it: the archive
// through our own archiver core, the places its entries land in, the printer-name list,
// the files each offered model needs, the machine type of every DLL and EXE, and its size.

#include <functional>
#include <string>
#include <vector>

#include "archiver/core/streams.h"
#include "config/program.h"
#include "package/driver_name_list.h"
#include "pkgcheck/report.h"

namespace setup::pkgcheck {

// How the printer-name list reads on this system: the sections the installer sees, and
// all of them (read with a section-name buffer larger than the installer's).
struct DriverNameListView {
    std::vector<DriverNameSection> installer;
    std::vector<DriverNameSection> whole;
    // Printer names the installer never reads: behind a missing or empty key, or past the
    // last key it reads.
    struct UnreadName {
        std::size_t section;  // position in `installer`
        int key;              // the k of "PrintName<k>"
        std::string name;
    };
    std::vector<UnreadName> unread;
};

// Reads DriverName.cfg's bytes through the system's profile functions, as the installer does.
using DriverNameListReader = std::function<DriverNameListView(const std::string& content)>;

Report checkPackage(archiver::ArchiveSource& source, const std::string& packageName, Program program,
                    const DriverNameListReader& readList);

// The view of the printer-name list through a file system whose profile functions read
// listFile: the same reading the installer does.
DriverNameListView readDriverNameListView(FileSystem& files, const std::string& listFile);

}  // namespace setup::pkgcheck
