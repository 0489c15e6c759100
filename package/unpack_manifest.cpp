#include "package/unpack_manifest.h"

#include <algorithm>
#include <map>

#include "platform/path_parts.h"

namespace setup {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool isLink(std::uint32_t attributes) {
    return (attributes & fileAttributeReparsePoint) != 0;
}

}  // namespace

bool keepsToPlaces(const ArchiveEntry& entry) {
    std::vector<std::string> parts = pathParts(entry.path);
    if (parts.empty()) return false;
    if (sameName(parts[0], "DriverName.cfg")) return parts.size() == 1 && !entry.folder;
    if (sameName(parts[0], "Ticket") || sameName(parts[0], "Barcode")) return parts.size() > 1 || entry.folder;
    return false;
}

std::optional<std::string> firstEntryOutsidePlaces(const std::vector<ArchiveEntry>& entries) {
    for (const ArchiveEntry& entry : entries)
        if (!keepsToPlaces(entry)) return entry.path + (entry.folder ? "\\" : "");
    return std::nullopt;
}

std::optional<Obstacle> UnpackManifest::record(FileSystem& files, const std::string& destination,
                                               const std::vector<ArchiveEntry>& entries) {
    *this = UnpackManifest();
    std::string root = destination;
    if (root.empty() || root.back() != '\\') root += '\\';
    // Whether each folder met so far was there before; a folder that is not there has
    // nothing below it either.
    std::map<std::string, bool> folders;
    std::vector<std::string> madeFolders;
    std::vector<Item> items;
    auto checkFolder = [&](const std::string& path, bool parentMade) -> std::optional<Obstacle> {
        auto [known, added] = folders.emplace(lowered(path), false);
        if (!added) return std::nullopt;
        std::optional<std::uint32_t> attributes = parentMade ? std::nullopt : files.attributesW(path);
        if (!attributes) {
            madeFolders.push_back(path);
            return std::nullopt;
        }
        if (isLink(*attributes)) return Obstacle{Obstacle::Link, path};
        if (!(*attributes & fileAttributeDirectory)) return Obstacle{Obstacle::FileWhereFolderGoes, path};
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
            items.push_back({path, true, folders[lowered(path)]});
            continue;
        }
        std::optional<std::uint32_t> attributes = parentMade ? std::nullopt : files.attributesW(path);
        if (attributes && isLink(*attributes)) return Obstacle{Obstacle::Link, path};
        if (attributes && (*attributes & fileAttributeDirectory)) return Obstacle{Obstacle::FolderWhereFileGoes, path};
        items.push_back({path, false, attributes.has_value()});
    }
    destination_ = root;
    entries_ = std::move(items);
    madeFolders_ = std::move(madeFolders);
    recorded_ = true;
    return std::nullopt;
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

void UnpackManifest::remove(FileSystem& files) {
    const std::size_t written = entriesWritten();
    for (std::size_t i = entries_.size(); i-- > 0;) {
        const Item& item = entries_[i];
        if (item.folder || (item.existedBefore && i >= written)) continue;
        if (belowLink(files, item.path)) continue;
        std::optional<std::uint32_t> attributes = files.attributesW(item.path);
        if (!attributes || (*attributes & (fileAttributeDirectory | fileAttributeReparsePoint))) continue;
        if (*attributes & fileAttributeReadOnly) files.setAttributesW(item.path, *attributes & ~fileAttributeReadOnly);
        files.deleteFileW(item.path);
    }
    for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
        if (belowLink(files, *folder)) continue;
        std::optional<std::uint32_t> attributes = files.attributesW(*folder);
        if (!attributes || !(*attributes & fileAttributeDirectory)) continue;
        if (*attributes & fileAttributeReadOnly) files.setAttributesW(*folder, *attributes & ~fileAttributeReadOnly);
        files.removeDirectoryW(*folder);
    }
    *this = UnpackManifest();
}

}  // namespace setup
