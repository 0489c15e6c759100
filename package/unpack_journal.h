#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/archiver_dll.h"
#include "platform/registry.h"

namespace setup {

// What a run is about to unpack, kept before the archiver writes anything where the next
// run finds it however this one ends: one value in the machine's 64-bit registry, so that
// it is there whole or not at all. A run killed before its clean-up leaves its files and
// this; the next run, of whatever package, removes the files that still hold the bytes the
// journal gives them. Only one installer runs at a time, so there is one journal.
namespace unpack_journal {
// The installer's key, which holds the journal and the installation records.
constexpr const char* productKey = "SOFTWARE\\Thermal Printer Setup";
constexpr const char* recordsSubkey = "Printers";
constexpr const char* key = "SOFTWARE\\Thermal Printer Setup\\Unpacking";
constexpr const char* value = "Entries";
}  // namespace unpack_journal

// The journal's bytes: a first line naming the format, then one line per entry, its path
// below the destination in UTF-8 ("F <size> <crc in hex, - for none> <path>" for a file,
// "D <path>" for a folder). No name on Windows holds a line break.
std::string unpackJournalText(const std::vector<ArchiveEntry>& entries);
// The entries of a journal's bytes; nothing when they are not a journal of this format.
std::optional<std::vector<ArchiveEntry>> parseUnpackJournal(const std::string& text);

// Keeps the entries as the journal; 0 or the registry's error.
std::uint32_t writeUnpackJournal(Registry& registry, const std::vector<ArchiveEntry>& entries);
// The journal an earlier run left; nothing when there is none or it cannot be read.
std::optional<std::vector<ArchiveEntry>> readUnpackJournal(Registry& registry);
// Removes the journal, and the installer's key when it holds no installation records; 0 also
// when there was no journal.
std::uint32_t deleteUnpackJournal(Registry& registry);

}  // namespace setup
