#include "package/package_files.h"

#include <cstdio>

#include "context/dialog_context.h"
#include "package/archive_library.h"
#include "package/driver_name_list.h"
#include "package/unpack_journal.h"
#include "package/unpack_leftovers.h"

namespace setup {

namespace {

constexpr const char* unpackDestination = "C:\\";
// The package's folders are made before anything is unpacked into them, so that what the
// archiver writes inherits this and not the root's access list, which lets every signed-in
// user change files: full control for SYSTEM and the administrators, reading and running for
// everyone else, protected from inheriting the root's entries.
constexpr const char* packageFolderSddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;WD)";

// A text for an ANSI message box: characters the code page cannot spell show as '?'.
std::string displayable(FileSystem& files, const std::string& text) {
    if (std::optional<std::string> ansi = files.ansiSpelling(text)) return *ansi;
    std::string ascii;
    for (unsigned char c : text)
        if (c < 0x80) ascii += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80) ascii += '?';
    return ascii;
}

// Tells the user why the package is not used, and keeps it for the Install button.
void tell(DialogContext& context, PackageState& package, const std::string& message) {
    package.problem = message;
    if (!context.calls.closing()) context.calls.appMessageBox(message, message_box::ok | message_box::iconError);
}

const char* obstacleText(Obstacle::Kind kind) {
    switch (kind) {
        case Obstacle::FileWhereFolderGoes: return text::packageFileInTheWay;
        case Obstacle::FolderWhereFileGoes: return text::packageFolderInTheWay;
        case Obstacle::Link: return text::packageLinkInTheWay;
        case Obstacle::UsersFile: return text::packageUsersFileInTheWay;
    }
    return text::packageLinkInTheWay;
}

// The package beside the current directory. The archiver's command line is in the ANSI
// code page: a folder it cannot spell is named by its short form, when it has one.
PackagePath locatePackage(FileSystem& files) {
    PackagePath archive{files.currentDirectoryW() + "\\" + packageFileName, {}};
    if (std::optional<std::string> ansi = files.ansiSpelling(archive.unicode)) {
        archive.ansi = *ansi;
    } else if (std::string shortPath = files.shortPathW(archive.unicode); !shortPath.empty()) {
        if (std::optional<std::string> ansi = files.ansiSpelling(shortPath)) archive.ansi = *ansi;
    }
    return archive;
}

// Makes the package's top folders that are not there yet with the package's access list.
bool makeProtectedFolders(DialogContext& context, PackageState& package) {
    FileSystem& files = context.platform.files;
    for (const std::string& folder : package.manifest.topFoldersToMake()) {
        std::uint32_t error = files.createFolderW(folder, packageFolderSddl);
        if (error == win_error::success) continue;
        removePackage(context.platform, package);
        std::vector<char> message(std::char_traits<char>::length(text::packageFolderNotMade) + folder.size() + 16);
        std::snprintf(message.data(), message.size(), text::packageFolderNotMade, displayable(files, folder).c_str(),
                      static_cast<unsigned>(error));
        tell(context, package, message.data());
        return false;
    }
    return true;
}

// What the archiver of a run killed while it unpacked was still writing goes before this
// run's archiver writes beside it; the screen does not show it, the log does.
void clearKilledRunsTemporaries(DialogContext& context) {
    FileSystem& files = context.platform.files;
    for (const KilledRunsTemporary& temporary : removeKilledRunsTemporaries(files, unpackDestination))
        context.notes.note(fillText(temporary.removed ? text::killedRunsTemporaryRemoved : text::killedRunsTemporaryKept,
                                    {displayable(files, temporary.path)}));
}

// What an earlier run that was stopped before its clean-up unpacked, of whatever package:
// its journal says, with the bytes of each file. Nothing when no run left a journal.
UnpackManifest earlierRun(DialogContext& context) {
    std::optional<std::vector<ArchiveEntry>> journal = readUnpackJournal(context.platform.registry);
    if (!journal) return UnpackManifest();
    return UnpackManifest::ofEarlierRun(context.platform.files, unpackDestination, *journal);
}

// Removes what the earlier run left; the screen does not show it, the log does.
void clearEarlierRun(DialogContext& context, UnpackManifest& earlier) {
    FileSystem& files = context.platform.files;
    for (const std::string& path : earlier.changedFiles())
        context.notes.note(fillText(text::earlierRunsFileChanged, {displayable(files, path)}));
    Removal removal = earlier.remove(files);
    for (const std::string& path : removal.removed)
        context.notes.note(fillText(text::earlierRunsFileRemoved, {displayable(files, path)}));
    for (const std::string& path : removal.kept)
        context.notes.note(fillText(text::earlierRunsFileKept, {displayable(files, path)}));
}

// Keeps the journal of what this run unpacks, in place of the earlier run's. A run that
// cannot keep it goes on, as runs always did without one.
void keepJournal(DialogContext& context, PackageState& package, const std::vector<ArchiveEntry>& entries) {
    Registry& registry = context.platform.registry;
    const std::uint32_t error = writeUnpackJournal(registry, entries);
    package.journalKept = error == win_error::success;
    if (package.journalKept) return;
    // The earlier run's journal would name files of this run's by the same bytes.
    deleteUnpackJournal(registry);
    context.notes.note(fillText(text::unpackJournalNotKept, {std::to_string(error)}));
}

bool refuse(DialogContext& context, PackageState& package, const Obstacle& obstacle) {
    tell(context, package, fillText(obstacleText(obstacle.kind), {displayable(context.platform.files, obstacle.path)}));
    return false;
}

// Looks at the listing before anything is written: a damaged catalogue, an entry outside
// the package's places, or something in the way that neither this package nor an earlier
// run's journal accounts for stops the unpacking, and nothing is touched. Once the package
// may be unpacked, what killed runs left goes (what an archiver left half-written, then what
// the earlier run's journal names), the journal of this run is kept, and the package's top
// folders are made.
bool approveListing(DialogContext& context, const ArchiverListing& listing, PackageState& package) {
    FileSystem& files = context.platform.files;
    if (listing.call.raised || listing.call.result != 0) {
        tell(context, package, fillText(text::packageDamaged, {archiverReason(listing.call, listing.report)}));
        return false;
    }
    if (std::optional<std::string> outside = firstEntryOutsidePlaces(listing.entries)) {
        tell(context, package, fillText(text::packageEntryOutside, {displayable(files, *outside)}));
        return false;
    }
    UnpackManifest earlier = earlierRun(context);
    const std::set<std::string> earlierFiles = earlier.leftFiles();
    if (std::optional<Obstacle> obstacle = package.manifest.record(files, unpackDestination, listing.entries, earlierFiles))
        return refuse(context, package, *obstacle);
    clearKilledRunsTemporaries(context);
    clearEarlierRun(context, earlier);
    // Recorded again: the earlier run's folders that are gone now are this run's to make.
    if (std::optional<Obstacle> obstacle = package.manifest.record(files, unpackDestination, listing.entries, earlierFiles))
        return refuse(context, package, *obstacle);
    keepJournal(context, package, listing.entries);
    return makeProtectedFolders(context, package);
}

}  // namespace

void extractPackage(DialogContext& context, ArchiveLibrary& archiveLibrary, PackageState& package,
                    const UnpackNeeded& needed) {
    context.calls.statusStep(text::readingDriverFile);
    archiveLibrary.setOwnerWindow(context.window.window());
    FileSystem& files = context.platform.files;
    PackagePath archive = locatePackage(files);
    if (archive.ansi.empty()) {
        if (files.attributesW(archive.unicode)) tell(context, package, text::packageFolderUnspellable);
        return;
    }
    // Every progress report announces the next entry; a dialog that is closing stops the
    // archiver there.
    DialogCalls& calls = context.calls;
    UnpackManifest& manifest = package.manifest;
    auto keepGoing = [&calls, &manifest] {
        manifest.entryAnnounced();
        return !calls.closing();
    };
    auto approve = [&](const ArchiverListing& listing) {
        const bool readable = !listing.call.raised && listing.call.result == 0;
        if (readable && needed && !needed(listing.entries)) {
            package.notNeeded = true;
            return false;
        }
        return approveListing(context, listing, package);
    };
    int result = archiveLibrary.Extract(archive, unpackDestination, keepGoing, approve);
    archiveLibrary.Unload();
    manifest.extractionEnded(result == 2);
    package.unpacked = result == 2;
    if (package.unpacked) context.values.packageFiles = manifest.files();
    if (package.unpacked || !manifest.recorded()) return;
    // The archiver stopped partway: what it wrote is no driver set to install from.
    removePackage(context.platform, package);
    if (!calls.closing()) tell(context, package, fillText(text::packageDamaged, {archiveLibrary.failure()}));
}

void fillDriverList(DialogContext& context, const PackageState& package) {
    MainWindow& window = context.window;
    window.driverListReset();
    // A printer-name list the package did not bring now is not this package's.
    if (package.unpacked)
        for (const auto& section : readDriverNameSections(context.platform.files, driverNameFile))
            for (const std::string& name : section) window.driverListAdd(name);
    window.driverListSelect(0);
    context.calls.printerNameFollowsDriver();
    context.calls.refresh();
}

std::string noPrinterMessage(const PackageState& package) {
    if (package.problem.empty()) return text::noPrinterChosen;
    return fillText(text::noPrinterBecause, {package.problem});
}

void removePackage(Platform& platform, PackageState& package) {
    const Removal removal = package.manifest.remove(platform.files);
    if (package.journalKept && removal.kept.empty()) deleteUnpackJournal(platform.registry);
    package.journalKept = false;
    package.unpacked = false;
}

}  // namespace setup
