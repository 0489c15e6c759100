#pragma once

#include <string>
#include <vector>

#include "platform/files.h"

namespace setup {

// A file an earlier run's archiver was still writing when that run was killed.
struct KilledRunsTemporary {
    std::string path;
    bool removed = false;  // false: it could not be deleted and stays
};

// Removes the files the archiver was still writing when an earlier run was killed while it
// unpacked: files named "<name>.7ztmp<process>_<sequence>" in the folders Ticket and Barcode
// below the destination and everything below them, and DriverName.cfg's beside them. The
// archiver never writes into such a name once it is taken, so one left behind would stay
// for good. Only that exact pattern goes; nothing is removed through a link, and a folder
// that is a link is not searched. Safe only while no other installer runs, which the
// installer's lock sees to. Returns what it found, in the order it found it.
std::vector<KilledRunsTemporary> removeKilledRunsTemporaries(FileSystem& files, const std::string& destination);

}  // namespace setup
