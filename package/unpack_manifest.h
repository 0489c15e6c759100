#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/archiver_dll.h"
#include "platform/files.h"

namespace setup {

// Whether an entry of a package keeps to the places a driver package may use below its
// destination: the file DriverName.cfg and the folders Ticket and Barcode with what is in them,
// named without "." or ".." steps.
bool keepsToPlaces(const ArchiveEntry& entry);

// The first entry of a package that would land outside the places a driver package may
// use below its destination: the file DriverName.cfg and the folders Ticket and Barcode with
// what is in them. Named as the archive names it, a folder with a trailing backslash;
// nothing when every entry keeps to those places.
std::optional<std::string> firstEntryOutsidePlaces(const std::vector<ArchiveEntry>& entries);

// Something on the disk that is not ours and stands where the package must write.
struct Obstacle {
    enum Kind { FileWhereFolderGoes, FolderWhereFileGoes, Link, UsersFile } kind;
    std::string path;
};

// What a clean-up did: the files it deleted, and those it meant to delete that stay
// because they could not be deleted.
struct Removal {
    std::vector<std::string> removed;
    std::vector<std::string> kept;
};

// What one run unpacks, recorded before the archiver writes anything, so that the clean-up
// removes exactly that: the package's entries and its folders, never what is not the
// package's. A file at an entry's path that holds that entry's bytes was left by an earlier
// run that did not get to its clean-up; so was one that holds the bytes an earlier run's
// journal gives it; any other file there is the user's.
class UnpackManifest {
public:
    // Records the entries below the destination folder, in the order the archiver writes
    // them, and which folders exist already. When something not ours is in the way (a file
    // where a folder goes, a folder where a file goes, a link that would lead the archiver
    // elsewhere, or a file of the user's where an entry goes), returns it and records nothing.
    // earlierRunsFiles: the full paths in lower case of the files an earlier run left that
    // still hold what it wrote; they are not the user's.
    std::optional<Obstacle> record(FileSystem& files, const std::string& destination,
                                   const std::vector<ArchiveEntry>& entries,
                                   const std::set<std::string>& earlierRunsFiles = {});
    // What an earlier run that was stopped before its clean-up unpacked, as its journal gives
    // it: each file still holding the bytes the journal gives it counts as left by that run,
    // and goes with remove(); what is not there or has changed since is not touched. Entries
    // outside the package's places are passed over.
    static UnpackManifest ofEarlierRun(FileSystem& files, const std::string& destination,
                                       const std::vector<ArchiveEntry>& journal);
    // The files of an earlier run's manifest that it left, by full path in lower case.
    std::set<std::string> leftFiles() const;
    // The files of an earlier run's manifest that are there but have changed since it wrote
    // them: someone else's now.
    std::vector<std::string> changedFiles() const;
    bool recorded() const { return recorded_; }
    // The archiver announces each entry through its progress callback before writing it.
    void entryAnnounced() { ++announced_; }
    // The archiver returned: with success every entry is written.
    void extractionEnded(bool succeeded) { completed_ = succeeded; }
    // Removes what this run wrote and what earlier runs left (read-only cleared on it,
    // nothing below a link), then each of the package's folders that is then empty, whoever
    // made it; then forgets the run.
    Removal remove(FileSystem& files);
    // The folders directly below the destination that are not there yet, to be made before
    // the archiver writes into them.
    std::vector<std::string> topFoldersToMake() const;
    // The package's files by full path in lower case, with the size and CRC each must have.
    std::map<std::string, ArchiveEntry> files() const;

private:
    struct Item {
        std::string path;
        ArchiveEntry entry;
        bool leftover = false;  // there before this run, with the entry's bytes
        bool changed = false;   // an earlier run's file that holds other bytes now
    };
    // How many entries, from the first, are surely written.
    std::size_t entriesWritten() const;
    bool belowLink(FileSystem& files, const std::string& path) const;

    std::string destination_;
    std::vector<Item> entries_;              // in the order the archiver writes them
    std::vector<std::string> folders_;       // the package's folders, parents first
    std::vector<std::string> madeFolders_;   // those that were not there, parents first
    std::size_t announced_ = 0;
    bool completed_ = false;
    bool recorded_ = false;
};

}  // namespace setup
