#include "package/unpack_leftovers.h"

#include "archiver/core/temporary_name.h"
#include "package/file_names.h"

namespace setup {

namespace {

KilledRunsTemporary removeTemporary(FileSystem& files, const std::string& path, std::uint32_t attributes) {
    const bool readOnly = (attributes & fileAttributeReadOnly) != 0;
    if (readOnly) files.setAttributesW(path, attributes & ~fileAttributeReadOnly);
    const bool removed = files.deleteFileW(path);
    if (!removed && readOnly) files.setAttributesW(path, attributes);
    return {path, removed};
}

// A folder and every folder below it, without a call stack as deep as the tree.
void sweepTree(FileSystem& files, const std::string& top, std::vector<KilledRunsTemporary>& found) {
    std::vector<std::string> folders{top};
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        Result<std::vector<FoundFile>> entries = files.folderEntriesW(folder);
        if (!entries) continue;
        for (const FoundFile& entry : *entries) {
            const std::string path = folder + "\\" + entry.name;
            if (isLink(entry.attributes)) continue;
            if (entry.attributes & fileAttributeDirectory) folders.push_back(path);
            else if (archiver::final_name_of_temporary(entry.name))
                found.push_back(removeTemporary(files, path, entry.attributes));
        }
    }
}

}  // namespace

std::vector<KilledRunsTemporary> removeKilledRunsTemporaries(FileSystem& files, const std::string& destination) {
    std::string root = destination;
    while (!root.empty() && root.back() == '\\') root.pop_back();
    std::vector<KilledRunsTemporary> found;
    for (const char* top : {"Ticket", "Barcode"}) {
        const std::string folder = root + "\\" + top;
        std::optional<std::uint32_t> attributes = files.attributesW(folder);
        if (attributes && (*attributes & fileAttributeDirectory) && !isLink(*attributes))
            sweepTree(files, folder, found);
    }
    Result<std::vector<FoundFile>> beside = files.folderEntriesW(root);
    if (!beside) return found;
    for (const FoundFile& entry : *beside) {
        std::optional<std::string_view> finalName = archiver::final_name_of_temporary(entry.name);
        if (finalName && sameFileName(*finalName, "DriverName.cfg") &&
            !(entry.attributes & (fileAttributeDirectory | fileAttributeReparsePoint)))
            found.push_back(removeTemporary(files, root + "\\" + entry.name, entry.attributes));
    }
    return found;
}

}  // namespace setup
