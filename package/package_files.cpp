#include "package/package_files.h"

#include "app/main_dialog.h"
#include "package/driver_name_list.h"

namespace setup {

namespace {
constexpr std::uint32_t currentDirectoryBufferSize = 260;
constexpr const char* unpackDestination = "C:\\";
}  // namespace

void extractPackage(MainDialog& dialog) {
    dialog.statusStep(text::readingDriverFile);
    dialog.archiveLibrary.setOwnerWindow(dialog.window().window());
    std::string archive = dialog.platform().files.currentDirectory(currentDirectoryBufferSize);
    archive += "\\";
    archive += packageFileName;
    // A dialog that is closing stops the archiver at its next file.
    dialog.archiveLibrary.Extract(archive, unpackDestination, [&dialog] { return !dialog.closing(); });
    dialog.archiveLibrary.Unload();
}

void fillDriverList(MainDialog& dialog) {
    MainWindow& window = dialog.window();
    window.driverListReset();
    for (const auto& section : readDriverNameSections(dialog.platform().files, driverNameFile))
        for (const std::string& name : section) window.driverListAdd(name);
    window.driverListSelect(0);
    dialog.onDriverSelectionChanged();
    dialog.refresh();
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
