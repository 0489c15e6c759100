#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/archiver_dll.h"
#include "platform/files.h"

namespace setup {

// Whether an entry of a package keeps to the places a driver package may use below its
// destination: the file DriverName.cfg and the folders Ticket and Barcode with what is in them.
bool keepsToPlaces(const ArchiveEntry& entry);

// The first entry of a package that would land outside the places a driver package may
// use below its destination: the file DriverName.cfg and the folders Ticket and Barcode with
// what is in them. Named as the archive names it, a folder with a trailing backslash;
// nothing when every entry keeps to those places.
std::optional<std::string> firstEntryOutsidePlaces(const std::vector<ArchiveEntry>& entries);

// Something on the disk that is not ours and stands where the package must write.
struct Obstacle {
    enum Kind { FileWhereFolderGoes, FolderWhereFileGoes, Link } kind;
    std::string path;
};

// What one run unpacks, recorded before the archiver writes anything, so that the clean-up
// removes exactly that: the package's entries and the folders they brought, never what was
// there before and is not in the package. A file of the user's that bears the name of an
// entry is the package's once the archiver has overwritten it.
class UnpackManifest {
public:
    // Records the entries below the destination folder, in the order the archiver writes
    // them, and which of them and of their folders exist already. When something not ours
    // is in the way (a file where a folder goes, a folder where a file goes, or a link that
    // would lead the archiver elsewhere), returns it and records nothing.
    std::optional<Obstacle> record(FileSystem& files, const std::string& destination,
                                   const std::vector<ArchiveEntry>& entries);
    bool recorded() const { return recorded_; }
    // The archiver announces each entry through its progress callback before writing it.
    void entryAnnounced() { ++announced_; }
    // The archiver returned: with success every entry is written.
    void extractionEnded(bool succeeded) { completed_ = succeeded; }
    // Removes what this run wrote (read-only cleared on it, nothing below a link) and the
    // folders it made that are then empty; then forgets the run.
    void remove(FileSystem& files);

private:
    struct Item {
        std::string path;
        bool folder = false;
        bool existedBefore = false;
    };
    // How many entries, from the first, are surely written.
    std::size_t entriesWritten() const;
    bool belowLink(FileSystem& files, const std::string& path) const;

    std::string destination_;
    std::vector<Item> entries_;              // in the order the archiver writes them
    std::vector<std::string> madeFolders_;   // folders that were not there, parents first
    std::size_t announced_ = 0;
    bool completed_ = false;
    bool recorded_ = false;
};

}  // namespace setup
