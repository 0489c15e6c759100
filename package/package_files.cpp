#include "package/package_files.h"

#include <cstdio>

#include "context/dialog_context.h"
#include "package/archive_library.h"
#include "package/driver_name_list.h"
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
        package.manifest.remove(files);
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

// Looks at the listing before anything is written: a damaged catalogue, an entry outside
// the package's places, or something of the user's in the way stops the unpacking, and
// nothing is touched. Once the package may be unpacked, its top folders are made and what
// a killed run's archiver left half-written in them goes.
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
    if (std::optional<Obstacle> obstacle = package.manifest.record(files, unpackDestination, listing.entries)) {
        tell(context, package, fillText(obstacleText(obstacle->kind), {displayable(files, obstacle->path)}));
        return false;
    }
    if (!makeProtectedFolders(context, package)) return false;
    clearKilledRunsTemporaries(context);
    return true;
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
    manifest.remove(files);
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

void removePackage(FileSystem& files, PackageState& package) {
    package.manifest.remove(files);
    package.unpacked = false;
}

}  // namespace setup
