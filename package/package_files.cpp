#include "package/package_files.h"

#include "context/dialog_context.h"
#include "package/archive_library.h"
#include "package/driver_name_list.h"

namespace setup {

namespace {
constexpr std::uint32_t currentDirectoryBufferSize = 260;
constexpr const char* unpackDestination = "C:\\";
}  // namespace

void extractPackage(DialogContext& context, ArchiveLibrary& archiveLibrary) {
    context.calls.statusStep(text::readingDriverFile);
    archiveLibrary.setOwnerWindow(context.window.window());
    std::string archive = context.platform.files.currentDirectory(currentDirectoryBufferSize);
    archive += "\\";
    archive += packageFileName;
    // A dialog that is closing stops the archiver at its next file.
    DialogCalls& calls = context.calls;
    archiveLibrary.Extract(archive, unpackDestination, [&calls] { return !calls.closing(); });
    archiveLibrary.Unload();
}

void fillDriverList(DialogContext& context) {
    MainWindow& window = context.window;
    window.driverListReset();
    for (const auto& section : readDriverNameSections(context.platform.files, driverNameFile))
        for (const std::string& name : section) window.driverListAdd(name);
    window.driverListSelect(0);
    context.calls.printerNameFollowsDriver();
    context.calls.refresh();
}

bool removeTree(FileSystem& files, const std::string& folder) {
    Result<std::vector<FoundFile>> entries = files.findFiles(folder + "//*.*");
    if (entries) {
        for (const FoundFile& entry : *entries) {
            if (entry.name == "." || entry.name == "..") continue;
            const std::string path = folder + "//" + entry.name;
            // A linked folder is unlinked, never followed: what it points to is not ours.
            if ((entry.attributes & fileAttributeDirectory) && (entry.attributes & fileAttributeReparsePoint))
                files.removeDirectory(path);
            else if (entry.attributes & fileAttributeDirectory)
                removeTree(files, path);
            else
                files.deleteFile(path);
        }
    }
    return files.removeDirectory(folder);
}

void removePackage(FileSystem& files) {
    removeTree(files, "c:\\Barcode");
    removeTree(files, "c:\\Ticket");
    files.deleteFile("c:\\DriverName.cfg");
}

}  // namespace setup
