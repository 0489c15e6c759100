#include "pkgcheck/package_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "archiver/core/archive_error.h"
#include "archiver/core/archive_reader.h"
#include "archiver/core/entry_path.h"
#include "archiver/core/extractor.h"
#include "archiver/core/folder_decoder.h"
#include "archiver/core/lzma_decoder.h"
#include "config/pkgcheck_text.h"
#include "install/model_tables.h"
#include "install/printer_name_rule.h"
#include "package/unpack_manifest.h"
#include "pkgcheck/pe_machine.h"
#include "platform/path_parts.h"

namespace setup::pkgcheck {

namespace text = pkgcheck_text;
using archiver::ArchiveDatabase;
using archiver::ArchiveError;

namespace {

// Enough for every section name a printer-name list could hold: what the installer's
// smaller buffer leaves out shows against this one.
constexpr std::uint32_t wholeListBufferSize = 1 << 16;
// How far past the installer's last key a numbered key is still looked for.
constexpr int lastKeyLookedFor = 2 * maxPrinterNamesPerSection;
// NTFS and FAT take names of at most 255 UTF-16 characters.
constexpr std::size_t maxNameCharacters = 255;
constexpr std::uint32_t attributeReparsePoint = 0x400;
constexpr std::uint32_t unixFileTypeMask = 0170000;
constexpr std::uint32_t unixSymlink = 0120000;
constexpr const char* driverNameListPath = "drivername.cfg";

std::string lowered(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
    return value;
}

std::string number(std::uint64_t value) { return std::to_string(value); }

// An entry as the installer unpacks it below C:\ ('\' separators); an empty path for an
// entry it refuses or that writes nothing.
struct EntryView {
    std::string path;
    bool folder = false;
    bool link = false;
    bool file() const { return !path.empty() && !folder; }
};

// UTF-16 characters of a UTF-8 name: what Windows counts against its name limit.
std::size_t utf16Length(const std::string& name) {
    std::size_t length = 0;
    for (unsigned char c : name) {
        if ((c & 0xC0) == 0x80) continue;
        length += c >= 0xF0 ? 2 : 1;
    }
    return length;
}

std::size_t longestPart(const std::string& path) {
    std::size_t longest = 0;
    for (const std::string& part : pathParts(path)) longest = std::max(longest, utf16Length(part));
    return longest;
}

bool storedAsLink(const archiver::Entry& entry) {
    if (!entry.has_attributes) return false;
    if (entry.attributes & attributeReparsePoint) return true;
    return (entry.attributes & archiver::kAttributeUnixExtension) &&
           ((entry.attributes >> 16) & unixFileTypeMask) == unixSymlink;
}

std::string subjectOf(const EntryView& view, const archiver::Entry& entry) {
    if (view.path.empty()) return entry.name;
    return view.folder ? view.path + "\\" : view.path;
}

// ---- the places -------------------------------------------------------------------------

std::vector<EntryView> checkPlaces(const ArchiveDatabase& db, Report& report) {
    std::vector<EntryView> views;
    for (const archiver::Entry& entry : db.entries) {
        EntryView view;
        view.folder = entry.is_directory;
        std::string safe;
        try {
            safe = archiver::safe_relative_path(entry.name);
        } catch (const ArchiveError& refused) {
            report.add(Severity::Error, text::checkPlaces, entry.name, fill(text::nameRefused, {refused.what()}),
                       text::installerRefusesPackage);
            views.push_back(view);
            continue;
        }
        if (!entry.is_anti) {
            view.path = safe;
            std::replace(view.path.begin(), view.path.end(), '/', '\\');
        }
        view.link = storedAsLink(entry);
        views.push_back(view);
        if (view.path.empty()) continue;
        const std::string subject = subjectOf(view, entry);
        if (std::size_t longest = longestPart(view.path); longest > maxNameCharacters)
            report.add(Severity::Error, text::checkPlaces, subject, fill(text::nameTooLong, {number(longest)}),
                       text::installerUnpackFails);
        if (view.link)
            report.add(Severity::Error, text::checkPlaces, subject, text::storedAsLink, text::installerLinkAsFile);
        if (!keepsToPlaces(ArchiveEntry{view.path, view.folder, 0, std::nullopt}))
            report.add(Severity::Error, text::checkPlaces, subject, text::outsidePlaces, text::installerRefusesPackage);
    }
    return views;
}

Shape shapeOf(const ArchiveDatabase& db, const std::vector<EntryView>& views) {
    Shape shape;
    for (std::size_t i = 0; i < views.size(); ++i) {
        if (views[i].path.empty()) continue;
        if (views[i].folder) {
            ++shape.folders;
            continue;
        }
        ++shape.files;
        const std::uint64_t size = db.entries[i].size;
        shape.unpackedBytes += size;
        if (shape.largestFile.empty() || size > shape.largestBytes) {
            shape.largestBytes = size;
            shape.largestFile = views[i].path;
        }
    }
    return shape;
}

// ---- the archive's coders ---------------------------------------------------------------

// The first entry whose data lies in a folder, and how many do.
struct FolderUse {
    std::string firstEntry;
    std::size_t entries = 0;
};

std::vector<FolderUse> folderUses(const ArchiveDatabase& db, const std::vector<EntryView>& views) {
    std::vector<FolderUse> uses(db.streams.folders.size());
    for (std::size_t i = 0; i < db.entries.size(); ++i) {
        const archiver::Entry& entry = db.entries[i];
        if (!entry.has_stream || entry.folder >= uses.size()) continue;
        FolderUse& use = uses[entry.folder];
        if (use.entries++ == 0) use.firstEntry = subjectOf(views[i], entry);
    }
    return uses;
}

// Every method the DLL does not read, once, with the entries packed with it; and every
// LZMA window the 32-bit DLL could not allocate.
void checkCoders(const ArchiveDatabase& db, const std::vector<EntryView>& views, Report& report) {
    const std::vector<FolderUse> uses = folderUses(db, views);
    std::map<std::string, FolderUse> unsupported;
    std::vector<std::string> order;
    std::set<std::string> encryption;
    for (std::size_t f = 0; f < db.streams.folders.size(); ++f) {
        const archiver::FolderInfo& folder = db.streams.folders[f];
        for (std::size_t c = 0; c < folder.coders.size(); ++c) {
            if (!archiver::coder_supported(folder.coders[c])) {
                const std::string name = archiver::method_name(folder.coders[c].method);
                auto [use, added] = unsupported.emplace(name, FolderUse{uses[f].firstEntry, 0});
                if (added) order.push_back(name);
                if (archiver::is_encryption(folder.coders[c].method)) encryption.insert(name);
                use->second.entries += uses[f].entries;
                continue;
            }
            std::uint64_t window = 0;
            try {
                window = archiver::coder_window_size(folder, c);
            } catch (const ArchiveError&) {
                continue;  // invalid properties: testing the data reports it
            }
            if (window > archiver::kMaxWindowSize32)
                report.add(Severity::Error, text::checkShape, uses[f].firstEntry,
                           fill(text::windowBeyond32Bit, {number(window >> 20), number(archiver::kMaxWindowSize32 >> 20)}),
                           text::installerWindowFails);
        }
    }
    for (const std::string& name : order) {
        const FolderUse& use = unsupported[name];
        const bool encrypted = encryption.count(name) > 0;
        report.add(Severity::Error, text::checkArchive, use.firstEntry,
                   fill(encrypted ? text::methodEncrypted : text::methodUnsupported, {name, number(use.entries)}),
                   text::installerRefusesPackage);
    }
}

// ---- the data -----------------------------------------------------------------------------

bool inBitnessFolder(const std::string& path, const char* bitness) {
    std::vector<std::string> parts = pathParts(path);
    return parts.size() >= 2 && lowered(parts[parts.size() - 2]) == bitness;
}

bool isProgramFile(const std::string& path) {
    const std::string name = lowered(path);
    auto endsWith = [&](const std::string& suffix) {
        return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return endsWith(".dll") || endsWith(".exe");
}

// What testing the data gives the other checks: the printer-name list's bytes, the machine
// of each DLL and EXE in a bitness folder, and which entries decoded whole.
class TestedContents : public archiver::TestObserver {
public:
    TestedContents(const std::vector<EntryView>& views, std::optional<std::size_t> listEntry) : listEntry_(listEntry) {
        passed_.assign(views.size(), false);
        for (std::size_t i = 0; i < views.size(); ++i)
            if (views[i].file() && !views[i].link && isProgramFile(views[i].path) &&
                (inBitnessFolder(views[i].path, "x86") || inBitnessFolder(views[i].path, "x64")))
                probes_[i];
    }

    void data(std::size_t entry, const std::uint8_t* bytes, std::size_t size) override {
        if (entry == listEntry_) listBytes_.append(reinterpret_cast<const char*>(bytes), size);
        if (auto probe = probes_.find(entry); probe != probes_.end()) probe->second.feed(bytes, size);
    }
    void passed(std::size_t entry) override { passed_[entry] = true; }
    void failed(std::size_t entry, const ArchiveError& error) override {
        failures_.push_back({entry, error.kind(), error.what(), 0});
    }
    void untested(std::size_t) override {
        if (!failures_.empty()) ++failures_.back().unreached;
    }

    struct Failure {
        std::size_t entry;
        archiver::ErrorKind kind;
        std::string what;
        std::size_t unreached;
    };
    bool passedWhole(std::size_t entry) const { return passed_[entry]; }
    const std::string& listBytes() const { return listBytes_; }
    const std::map<std::size_t, PeMachineProbe>& probes() const { return probes_; }
    const std::vector<Failure>& failures() const { return failures_; }

private:
    std::optional<std::size_t> listEntry_;
    std::string listBytes_;
    std::map<std::size_t, PeMachineProbe> probes_;
    std::vector<bool> passed_;
    std::vector<Failure> failures_;
};

void reportDamage(const TestedContents& contents, const ArchiveDatabase& db, const std::vector<EntryView>& views,
                  Report& report) {
    for (const TestedContents::Failure& failure : contents.failures()) {
        // A method we do not read is reported once, by the coder check.
        if (failure.kind == archiver::ErrorKind::Unsupported) continue;
        std::string problem = failure.unreached ? fill(text::dataDamagedUnreached, {failure.what, number(failure.unreached)})
                                                : fill(text::dataDamaged, {failure.what});
        report.add(Severity::Error, text::checkArchive, subjectOf(views[failure.entry], db.entries[failure.entry]),
                   problem, text::installerRemovesAll);
    }
}

// The entry that becomes C:\DriverName.cfg: the last of that name, which overwrites the others.
std::optional<std::size_t> driverNameListEntry(const std::vector<EntryView>& views) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < views.size(); ++i)
        if (views[i].file() && lowered(views[i].path) == driverNameListPath) found = i;
    return found;
}

// ---- the printer-name list ----------------------------------------------------------------

std::string modelName(int driverIndex) {
    if (driverIndex < receiptDriverCount) return receiptDisplayTable()[driverIndex];
    return labelDisplayTable()[driverIndex - receiptDriverCount];
}

std::string sectionSubject(std::size_t position, const DriverNameSection& section) {
    return fill(text::sectionSubject, {number(position + 1), section.name});
}

// The model a section stands for by its own words: its name is the model's display name,
// or its first printer name begins with one.
std::optional<int> modelNamedBy(const DriverNameSection& section) {
    std::optional<int> named;
    std::size_t namedLength = 0;
    for (int index = 0; index < driverCount; ++index) {
        const std::string model = modelName(index);
        if (section.name == model) return index;
        if (section.printerNames.empty()) continue;
        const std::string& first = section.printerNames.front();
        const bool begins = first.rfind(model, 0) == 0 &&
                            (first.size() == model.size() || first[model.size()] == ' ' || first[model.size()] == '(');
        if (begins && model.size() > namedLength) {
            named = index;
            namedLength = model.size();
        }
    }
    return named;
}

// Whether the installer's section-name buffer holds this section of the whole list whole.
bool installerSees(const DriverNameListView& list, std::size_t position) {
    return position < list.installer.size() && list.installer[position].name == list.whole[position].name;
}

void checkSectionPlaces(const DriverNameListView& list, Program program, Report& report) {
    for (std::size_t position = 0; position < list.whole.size(); ++position) {
        const DriverNameSection& section = list.whole[position];
        const std::string subject = sectionSubject(position, section);
        if (!installerSees(list, position)) {
            report.add(Severity::Error, text::checkNameList, subject,
                       fill(text::sectionBeyondBuffer, {number(sectionNamesBufferSize)}), text::installerNeverSees);
            continue;
        }
        if (position >= static_cast<std::size_t>(driverCount)) {
            if (!section.printerNames.empty())
                report.add(Severity::Error, text::checkNameList, subject,
                           fill(text::sectionBeyondTables, {number(position + 1), programName(program), number(driverCount)}),
                           text::installerNoDriver);
            continue;
        }
        std::optional<int> named = modelNamedBy(section);
        if (named && *named != static_cast<int>(position))
            report.add(Severity::Error, text::checkNameList, subject,
                       fill(text::sectionOutOfOrder, {number(position + 1), modelName(static_cast<int>(position)),
                                                      modelName(*named), number(*named + 1)}),
                       fill(text::installerWrongDriver, {modelName(static_cast<int>(position))}));
        if (section.printerNames.empty())
            report.add(Severity::Note, text::checkNameList, subject,
                       fill(text::modelNotOffered, {modelName(static_cast<int>(position))}), text::installerListsNothing);
    }
    for (int index = static_cast<int>(list.whole.size()); index < driverCount; ++index)
        report.add(Severity::Note, text::checkNameList, fill(text::quotedName, {modelName(index)}),
                   fill(text::modelNotInList, {modelName(index)}), text::installerListsNothing);
}

void checkUnreadNames(const DriverNameListView& list, Report& report) {
    for (const DriverNameListView::UnreadName& unread : list.unread) {
        const DriverNameSection& section = list.installer[unread.section];
        const bool pastLimit = unread.key > maxPrinterNamesPerSection;
        const std::string missing = printerNameKey(static_cast<int>(section.printerNames.size()) + 1);
        report.add(Severity::Warning, text::checkNameList,
                   fill(text::printerNameSubject, {sectionSubject(unread.section, section), number(unread.key)}),
                   pastLimit ? fill(text::printerNamePastLimit, {unread.name, number(maxPrinterNamesPerSection)})
                             : fill(text::printerNameBehindGap, {unread.name, missing}),
                   text::installerNeverOffers);
    }
}

void checkPrinterNames(const std::vector<DriverNameSection>& sections, Report& report) {
    std::map<std::string, std::vector<std::size_t>> positions;
    std::vector<std::string> order;
    for (std::size_t position = 0; position < sections.size(); ++position) {
        for (std::size_t k = 0; k < sections[position].printerNames.size(); ++k) {
            const std::string& name = sections[position].printerNames[k];
            const std::string subject =
                fill(text::printerNameSubject, {sectionSubject(position, sections[position]), number(k + 1)});
            if (const char* problem = printerNameProblem(name))
                report.add(Severity::Error, text::checkNameList, subject, fill(text::printerNameRefused, {name, problem}),
                           text::installerRefusesName);
            if (name.size() + 1 == printerNameBufferSize)
                report.add(Severity::Warning, text::checkNameList, subject,
                           fill(text::printerNameAtLimit, {name, number(name.size())}), text::installerCutsName);
            std::vector<std::size_t>& at = positions[name];
            if (at.empty()) order.push_back(name);
            if (at.empty() || at.back() != position) at.push_back(position);
        }
    }
    for (const std::string& name : order) {
        const std::vector<std::size_t>& at = positions[name];
        if (at.size() < 2) continue;
        std::string earlier;
        for (std::size_t i = 0; i + 1 < at.size(); ++i) earlier += (i ? ", " : "") + number(at[i] + 1);
        const std::size_t last = at.back();
        const std::string installs = last < static_cast<std::size_t>(driverCount) ? modelName(static_cast<int>(last)) : "";
        report.add(Severity::Warning, text::checkNameList, fill(text::quotedName, {name}),
                   fill(text::printerNameTwice, {earlier, number(last + 1)}), fill(text::installerTakesLast, {installs}));
    }
}

// ---- the files of each offered model --------------------------------------------------------

struct Need {
    std::string path;                 // as the tables spell it
    std::vector<std::string> models;  // the models that need it, in section order
};

std::vector<Need> filesNeeded(const std::vector<DriverNameSection>& sections, Program program) {
    std::vector<Need> needs;
    std::map<std::string, std::size_t> byPath;
    const std::size_t offered = std::min(sections.size(), static_cast<std::size_t>(driverCount));
    for (std::size_t position = 0; position < offered; ++position) {
        const int index = static_cast<int>(position);
        for (const std::string& printerName : sections[position].printerNames)
            for (bool is64Bit : {false, true})
                for (const PackageFile& file : driverFiles(program, index, printerName, is64Bit)) {
                    const std::string path = std::string(packageFolderPath(file.folder)) + "\\" + file.name;
                    auto [at, added] = byPath.emplace(path, needs.size());
                    if (added) needs.push_back({path, {}});
                    std::vector<std::string>& models = needs[at->second].models;
                    if (std::find(models.begin(), models.end(), modelName(index)) == models.end())
                        models.push_back(modelName(index));
                }
    }
    return needs;
}

std::string modelsText(const std::vector<std::string>& models) {
    if (models.size() == 1) return fill(text::quotedName, {models.front()});
    return fill(text::modelsMore, {models.front(), number(models.size() - 1)});
}

void checkModelFiles(const std::vector<DriverNameSection>& sections, const std::vector<EntryView>& views,
                     Program program, Report& report) {
    std::map<std::string, std::string> present;  // lowered path -> path as stored
    for (const EntryView& view : views)
        if (view.file()) present[lowered(view.path)] = view.path;
    std::set<std::string> needed;
    for (const Need& need : filesNeeded(sections, program)) {
        needed.insert(lowered(need.path));
        auto stored = present.find(lowered(need.path));
        if (stored == present.end())
            report.add(Severity::Error, text::checkFiles, need.path, fill(text::fileMissing, {modelsText(need.models)}),
                       text::installerDriverFails);
        else if (stored->second != need.path)
            report.add(Severity::Warning, text::checkFiles, need.path,
                       fill(text::fileCaseDiffers, {stored->second, need.path}), text::installerFindsAnyCase);
    }
    for (const EntryView& view : views) {
        const std::string key = lowered(view.path);
        if (!view.file() || key == driverNameListPath || needed.count(key)) continue;
        if (!keepsToPlaces(ArchiveEntry{view.path, false, 0, std::nullopt})) continue;
        report.add(Severity::Note, text::checkFiles, view.path, text::fileUnneeded, text::installerUnpacksOnly);
    }
}

// ---- machine types ----------------------------------------------------------------------------

std::string machineName(std::uint16_t machine) {
    if (machine == machineI386) return text::machineX86;
    if (machine == machineAmd64) return text::machineX64;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", machine);
    return fill(text::machineOther, {hex});
}

void checkMachines(const TestedContents& contents, const std::vector<EntryView>& views, Report& report) {
    for (const auto& [entry, probe] : contents.probes()) {
        if (!contents.passedWhole(entry)) continue;  // its damage is reported already
        const std::string& path = views[entry].path;
        const bool x64Folder = inBitnessFolder(path, "x64");
        std::optional<std::uint16_t> machine = probe.machine();
        if (!machine)
            report.add(Severity::Error, text::checkMachine, path, text::notPeFile, text::installerLoadFails);
        else if (*machine != (x64Folder ? machineAmd64 : machineI386))
            report.add(Severity::Error, text::checkMachine, path,
                       fill(text::wrongMachine, {machineName(*machine), x64Folder ? "x64" : "x86"}),
                       text::installerLoadFails);
    }
}

}  // namespace

DriverNameListView readDriverNameListView(FileSystem& files, const std::string& listFile) {
    DriverNameListView view;
    view.installer = readDriverNameList(files, listFile);
    view.whole = readDriverNameList(files, listFile, wholeListBufferSize);
    for (std::size_t position = 0; position < view.installer.size(); ++position) {
        const DriverNameSection& section = view.installer[position];
        // The key after the last one read is missing or empty, or past the installer's last.
        for (int k = static_cast<int>(section.printerNames.size()) + 1; k <= lastKeyLookedFor; ++k) {
            std::string name = files.profileString(listFile, section.name, printerNameKey(k), printerNameBufferSize);
            if (!name.empty()) view.unread.push_back({position, k, std::move(name)});
        }
    }
    return view;
}

Report checkPackage(archiver::ArchiveSource& source, const std::string& packageName, Program program,
                    const DriverNameListReader& readList) {
    Report report;
    report.package = packageName;
    report.program = program;
    ArchiveDatabase db;
    try {
        db = archiver::read_archive(source);
    } catch (const ArchiveError& error) {
        report.unreadable = true;
        report.add(Severity::Error, text::checkArchive, packageName, fill(text::unreadable, {error.what()}),
                   text::installerUsesNothing);
        return report;
    }
    const std::vector<EntryView> views = checkPlaces(db, report);
    report.shape = shapeOf(db, views);
    checkCoders(db, views, report);

    const std::optional<std::size_t> listEntry = driverNameListEntry(views);
    TestedContents contents(views, listEntry);
    try {
        archiver::test_archive(source, db, contents);
    } catch (const ArchiveError& error) {
        report.unreadable = true;
        report.add(Severity::Error, text::checkArchive, packageName, fill(text::unreadable, {error.what()}),
                   text::installerUsesNothing);
        return report;
    }
    reportDamage(contents, db, views, report);

    std::vector<DriverNameSection> sections;
    if (!listEntry) {
        report.add(Severity::Error, text::checkNameList, "DriverName.cfg", text::nameListMissing, text::installerEmptyList);
    } else if (contents.passedWhole(*listEntry)) {
        DriverNameListView list = readList(contents.listBytes());
        sections = list.installer;
        if (sections.empty())
            report.add(Severity::Error, text::checkNameList, views[*listEntry].path, text::nameListEmpty,
                       text::installerEmptyList);
        checkSectionPlaces(list, program, report);
        checkPrinterNames(sections, report);
        checkUnreadNames(list, report);
    }
    // Without an offered printer every file would be unneeded: that says nothing more.
    if (!sections.empty()) checkModelFiles(sections, views, program, report);
    checkMachines(contents, views, report);
    return report;
}

}  // namespace setup::pkgcheck
