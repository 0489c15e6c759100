#include "install/package_identity.h"

#include <cctype>
#include <cstdio>

#include "install/model_tables.h"

namespace setup {

namespace {

// FNV-1a, 64 bits.
constexpr std::uint64_t fnvOffsetBasis = 0xcbf29ce484222325ull;
constexpr std::uint64_t fnvPrime = 0x100000001b3ull;

// The printer-name list's place below the drive root.
constexpr std::string_view driverNameListPath = "DriverName.cfg";

std::string caseFolded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

class Fnv1a {
public:
    void add(std::string_view bytes) {
        for (unsigned char byte : bytes) {
            hash_ ^= byte;
            hash_ *= fnvPrime;
        }
    }
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
        return text;
    }

private:
    std::uint64_t hash_ = fnvOffsetBasis;
};

const ArchiveEntry* findEntry(std::span<const ArchiveEntry> entries, const std::string& foldedPath) {
    for (const ArchiveEntry& entry : entries)
        if (!entry.folder && caseFolded(entry.path) == foldedPath) return &entry;
    return nullptr;
}

// "name|size|crc": the CRC in hex, "-" when the archive keeps none; "name|missing" for a
// file the package does not hold.
std::string fileLine(std::span<const ArchiveEntry> entries, const std::string& path) {
    const std::string folded = caseFolded(path);
    const ArchiveEntry* entry = findEntry(entries, folded);
    if (entry == nullptr) return folded + "|missing\n";
    char crc[9] = "-";
    if (entry->crc) std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(*entry->crc));
    return folded + "|" + std::to_string(entry->size) + "|" + crc + "\n";
}

}  // namespace

std::string packageIdentity(Program program, int driverIndex, std::string_view driverListText,
                            std::span<const ArchiveEntry> entries) {
    Fnv1a hash;
    hash.add(fileLine(entries, std::string(driverNameListPath)));
    hash.add("list|" + std::string(driverListText) + "\n");
    for (bool is64Bit : {false, true})
        for (const PackageFile& file : driverFiles(program, driverIndex, driverListText, is64Bit))
            hash.add(fileLine(entries, std::string(packageFolderPath(file.folder)) + "\\" + file.name));
    return hash.hex();
}

std::optional<int> driverIndexOfDisplayName(std::string_view displayName) {
    NameTable receipts = receiptDisplayTable();
    for (int index = 0; index < static_cast<int>(receipts.size()); ++index)
        if (displayName == receipts[index]) return index;
    NameTable labels = labelDisplayTable();
    for (int index = 0; index < static_cast<int>(labels.size()); ++index)
        if (displayName == labels[index]) return receiptDriverCount + index;
    return std::nullopt;
}

std::string driverDisplayName(Program program, int driverIndex) {
    if (std::optional<ReceiptModel> receipt = receiptLookup(program, driverIndex, {})) return receipt->displayName;
    if (std::optional<LabelModel> label = labelLookup(driverIndex, false)) return label->displayName;
    return {};
}

}  // namespace setup
