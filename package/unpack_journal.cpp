#include "package/unpack_journal.h"

#include <cstdio>
#include <cctype>
#include <cstdlib>

namespace setup {

namespace {

constexpr const char* formatLine = "Thermal Printer Setup unpacking journal 1";
// A journal is read with this buffer first, and with larger ones while it does not fit.
constexpr std::uint32_t firstBufferSize = 64 * 1024;
constexpr std::uint32_t largestBufferSize = 64 * 1024 * 1024;

std::string fileLine(const ArchiveEntry& entry) {
    char numbers[48];
    if (entry.crc)
        std::snprintf(numbers, sizeof numbers, "%llu %08x", static_cast<unsigned long long>(entry.size),
                      static_cast<unsigned>(*entry.crc));
    else
        std::snprintf(numbers, sizeof numbers, "%llu -", static_cast<unsigned long long>(entry.size));
    return std::string("F ") + numbers + " " + entry.path;
}

// Reads a whole unsigned number in the given base; nothing for anything else.
std::optional<std::uint64_t> number(const std::string& text, int base) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    for (char c : text)
        if (base == 10 ? !std::isdigit(static_cast<unsigned char>(c)) : !std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return std::strtoull(text.c_str(), nullptr, base);
}

std::optional<ArchiveEntry> parseLine(const std::string& line) {
    if (line.rfind("D ", 0) == 0 && line.size() > 2) return ArchiveEntry{line.substr(2), true, 0, std::nullopt};
    if (line.rfind("F ", 0) != 0) return std::nullopt;
    const std::size_t sizeEnd = line.find(' ', 2);
    const std::size_t crcEnd = sizeEnd == std::string::npos ? sizeEnd : line.find(' ', sizeEnd + 1);
    if (crcEnd == std::string::npos || crcEnd + 1 >= line.size()) return std::nullopt;
    std::optional<std::uint64_t> size = number(line.substr(2, sizeEnd - 2), 10);
    const std::string crcText = line.substr(sizeEnd + 1, crcEnd - sizeEnd - 1);
    std::optional<std::uint64_t> crc = crcText == "-" ? std::optional<std::uint64_t>() : number(crcText, 16);
    if (!size || (crcText != "-" && (!crc || crcText.size() != 8))) return std::nullopt;
    ArchiveEntry entry{line.substr(crcEnd + 1), false, *size, std::nullopt};
    if (crc) entry.crc = static_cast<std::uint32_t>(*crc);
    return entry;
}

}  // namespace

std::string unpackJournalText(const std::vector<ArchiveEntry>& entries) {
    std::string text = std::string(formatLine) + "\n";
    for (const ArchiveEntry& entry : entries) text += (entry.folder ? "D " + entry.path : fileLine(entry)) + "\n";
    return text;
}

std::optional<std::vector<ArchiveEntry>> parseUnpackJournal(const std::string& text) {
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd == std::string::npos || text.compare(0, firstEnd, formatLine) != 0 || text.back() != '\n')
        return std::nullopt;
    std::vector<ArchiveEntry> entries;
    for (std::size_t at = firstEnd + 1; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        std::optional<ArchiveEntry> entry = parseLine(text.substr(at, end - at));
        if (!entry || entry->path.find('\0') != std::string::npos) return std::nullopt;
        entries.push_back(std::move(*entry));
        at = end + 1;
    }
    return entries;
}

std::uint32_t writeUnpackJournal(Registry& registry, const std::vector<ArchiveEntry>& entries) {
    Result<Handle> key = registry.createKey64(RegistryRoot::LocalMachine, unpack_journal::key);
    if (!key) return key.error();
    std::uint32_t error = registry.setValue(*key, unpack_journal::value, regBinary, unpackJournalText(entries));
    registry.closeKey(*key);
    return error;
}

std::optional<std::vector<ArchiveEntry>> readUnpackJournal(Registry& registry) {
    Result<Handle> key = registry.openKey64(RegistryRoot::LocalMachine, unpack_journal::key, RegistryAccess::QueryValue);
    if (!key) return std::nullopt;
    Result<std::string> text = Result<std::string>::failure(win_error::moreData);
    for (std::uint32_t size = firstBufferSize; !text && text.error() == win_error::moreData && size <= largestBufferSize;
         size *= 2)
        text = registry.queryValue(*key, unpack_journal::value, size);
    registry.closeKey(*key);
    if (!text) return std::nullopt;
    return parseUnpackJournal(*text);
}

std::uint32_t deleteUnpackJournal(Registry& registry) {
    std::uint32_t error = registry.deleteKey64(RegistryRoot::LocalMachine, unpack_journal::key);
    if (error == win_error::fileNotFound) return win_error::success;
    if (error != win_error::success) return error;
    // A run that installed nothing leaves no key of the installer's behind.
    const std::string records = std::string(unpack_journal::productKey) + "\\" + unpack_journal::recordsSubkey;
    Result<Handle> recordsKey = registry.openKey64(RegistryRoot::LocalMachine, records, RegistryAccess::QueryValue);
    if (recordsKey)
        registry.closeKey(*recordsKey);
    else if (recordsKey.error() == win_error::fileNotFound)
        registry.deleteKey64(RegistryRoot::LocalMachine, unpack_journal::productKey);
    return win_error::success;
}

}  // namespace setup
