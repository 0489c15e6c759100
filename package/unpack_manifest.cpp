#include "package/unpack_manifest.h"

#include <algorithm>
#include <map>
#include <set>

#include "package/file_identity.h"
#include "package/file_names.h"
#include "platform/path_parts.h"

namespace setup {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

bool keepsToPlaces(const ArchiveEntry& entry) {
    std::vector<std::string> parts = pathParts(entry.path);
    if (parts.empty()) return false;
    for (const std::string& part : parts)
        if (part == "." || part == "..") return false;
    if (sameFileName(parts[0], "DriverName.cfg")) return parts.size() == 1 && !entry.folder;
    if (sameFileName(parts[0], "Ticket") || sameFileName(parts[0], "Barcode")) return parts.size() > 1 || entry.folder;
    return false;
}

std::optional<std::string> firstEntryOutsidePlaces(const std::vector<ArchiveEntry>& entries) {
    for (const ArchiveEntry& entry : entries)
        if (!keepsToPlaces(entry)) return entry.path + (entry.folder ? "\\" : "");
    return std::nullopt;
}

std::optional<Obstacle> UnpackManifest::record(FileSystem& files, const std::string& destination,
                                               const std::vector<ArchiveEntry>& entries,
                                               const std::set<std::string>& earlierRunsFiles) {
    *this = UnpackManifest();
    std::string root = destination;
    if (root.empty() || root.back() != '\\') root += '\\';
    // Whether each folder met so far was there before; a folder that is not there has
    // nothing below it either.
    std::map<std::string, bool> folders;
    std::vector<std::string> allFolders, madeFolders;
    std::vector<Item> items;
    auto checkFolder = [&](const std::string& path, bool parentMade) -> std::optional<Obstacle> {
        auto [known, added] = folders.emplace(lowered(path), false);
        if (!added) return std::nullopt;
        allFolders.push_back(path);
        std::optional<std::uint32_t> attributes = parentMade ? std::nullopt : files.attributesW(path);
        if (!attributes) {
            madeFolders.push_back(path);
            return std::nullopt;
        }
        if (isLink(*attributes)) return Obstacle{Obstacle::Link, path};
        if (!(*attributes & fileAttributeDirectory)) {
            // An earlier run's file goes before this run writes: the folder is made then.
            if (!earlierRunsFiles.count(lowered(path))) return Obstacle{Obstacle::FileWhereFolderGoes, path};
            madeFolders.push_back(path);
            return std::nullopt;
        }
        known->second = true;
        return std::nullopt;
    };
    for (const ArchiveEntry& entry : entries) {
        std::vector<std::string> parts = pathParts(entry.path);
        std::string path = root.substr(0, root.size() - 1);
        bool parentMade = false;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            path += "\\" + parts[i];
            if (auto obstacle = checkFolder(path, parentMade)) return obstacle;
            parentMade = !folders[lowered(path)];
        }
        path += "\\" + parts.back();
        if (entry.folder) {
            if (auto obstacle = checkFolder(path, parentMade)) return obstacle;
            items.push_back({path, entry, false});
            continue;
        }
        std::optional<std::uint32_t> attributes = parentMade ? std::nullopt : files.attributesW(path);
        if (attributes && isLink(*attributes)) return Obstacle{Obstacle::Link, path};
        if (attributes && (*attributes & fileAttributeDirectory)) return Obstacle{Obstacle::FolderWhereFileGoes, path};
        if (attributes && !holdsEntry(files, path, entry) && !earlierRunsFiles.count(lowered(path)))
            return Obstacle{Obstacle::UsersFile, path};
        items.push_back({path, entry, attributes.has_value()});
    }
    destination_ = root;
    entries_ = std::move(items);
    folders_ = std::move(allFolders);
    madeFolders_ = std::move(madeFolders);
    recorded_ = true;
    return std::nullopt;
}

UnpackManifest UnpackManifest::ofEarlierRun(FileSystem& files, const std::string& destination,
                                            const std::vector<ArchiveEntry>& journal) {
    UnpackManifest run;
    run.destination_ = destination;
    if (run.destination_.empty() || run.destination_.back() != '\\') run.destination_ += '\\';
    std::set<std::string> folders;
    for (const ArchiveEntry& entry : journal) {
        if (!keepsToPlaces(entry)) continue;
        std::vector<std::string> parts = pathParts(entry.path);
        std::string path = run.destination_.substr(0, run.destination_.size() - 1);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            path += "\\" + parts[i];
            const bool folder = i + 1 < parts.size() || entry.folder;
            if (folder && folders.insert(lowered(path)).second) run.folders_.push_back(path);
        }
        if (entry.folder) continue;
        std::optional<std::uint32_t> attributes = files.attributesW(path);
        const bool file = attributes && !(*attributes & (fileAttributeDirectory | fileAttributeReparsePoint));
        const bool holds = file && holdsEntry(files, path, entry);
        run.entries_.push_back({path, entry, holds, file && !holds});
    }
    run.recorded_ = true;
    return run;
}

std::set<std::string> UnpackManifest::leftFiles() const {
    std::set<std::string> left;
    for (const Item& item : entries_)
        if (item.leftover) left.insert(lowered(item.path));
    return left;
}

std::vector<std::string> UnpackManifest::changedFiles() const {
    std::vector<std::string> changed;
    for (const Item& item : entries_)
        if (item.changed) changed.push_back(item.path);
    return changed;
}

std::size_t UnpackManifest::entriesWritten() const {
    if (completed_) return entries_.size();
    // The entry announced last was being written when the archiver stopped: the archiver
    // gives a file its name only once it is whole, so that one is not written.
    return announced_ == 0 ? 0 : std::min(announced_ - 1, entries_.size());
}

// Whether a folder between the destination and the path has become a link since we made or
// found it: deleting through it would delete what it points to.
bool UnpackManifest::belowLink(FileSystem& files, const std::string& path) const {
    for (std::size_t cut = path.find('\\', destination_.size()); cut != std::string::npos;
         cut = path.find('\\', cut + 1)) {
        std::optional<std::uint32_t> attributes = files.attributesW(path.substr(0, cut));
        if (attributes && isLink(*attributes)) return true;
    }
    return false;
}

Removal UnpackManifest::remove(FileSystem& files) {
    Removal removal;
    const std::size_t written = entriesWritten();
    for (std::size_t i = entries_.size(); i-- > 0;) {
        const Item& item = entries_[i];
        // An entry the archiver did not reach is not ours to touch, unless an earlier run
        // left it.
        if (item.entry.folder || (i >= written && !item.leftover)) continue;
        if (belowLink(files, item.path)) continue;
        std::optional<std::uint32_t> attributes = files.attributesW(item.path);
        if (!attributes || (*attributes & (fileAttributeDirectory | fileAttributeReparsePoint))) continue;
        if (*attributes & fileAttributeReadOnly) files.setAttributesW(item.path, *attributes & ~fileAttributeReadOnly);
        if (files.deleteFileW(item.path))
            removal.removed.push_back(item.path);
        else
            removal.kept.push_back(item.path);
    }
    // A folder of the package that holds nothing of anyone's goes, even when an earlier run
    // made it; removing a folder that is not empty fails and keeps it.
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
        if (belowLink(files, *folder)) continue;
        std::optional<std::uint32_t> attributes = files.attributesW(*folder);
        if (!attributes || !(*attributes & fileAttributeDirectory)) continue;
        bool readOnly = (*attributes & fileAttributeReadOnly) != 0;
        if (readOnly) files.setAttributesW(*folder, *attributes & ~fileAttributeReadOnly);
        // A folder that stays, holding something not the package's, keeps its attributes.
        if (!files.removeDirectoryW(*folder) && readOnly) files.setAttributesW(*folder, *attributes);
    }
    *this = UnpackManifest();
    return removal;
}

std::vector<std::string> UnpackManifest::topFoldersToMake() const {
    std::vector<std::string> top;
    for (const std::string& folder : madeFolders_)
        if (folder.find('\\', destination_.size()) == std::string::npos) top.push_back(folder);
    return top;
}

std::map<std::string, ArchiveEntry> UnpackManifest::files() const {
    std::map<std::string, ArchiveEntry> byPath;
    for (const Item& item : entries_)
        if (!item.entry.folder) byPath[lowered(item.path)] = item.entry;
    return byPath;
}

}  // namespace setup
