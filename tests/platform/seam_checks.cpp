#include "tests/platform/seam_checks.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

namespace setup::seam_checks {

namespace {

// The access list the package's folders get.
constexpr const char* protectedSddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;WD)";
constexpr std::uint32_t errorAlreadyExists = 183;

Outcome expect(bool passed, std::string detail = {}) {
    return {passed, passed ? std::string() : std::move(detail)};
}

// Both outcomes must pass; the first failure is the one told.
Outcome both(const Outcome& first, const Outcome& second) {
    return first.passed ? second : first;
}

// "name 1, other 0": what each step of a check gave.
std::string steps(std::initializer_list<std::pair<const char*, bool>> results) {
    std::string text;
    for (const auto& [name, result] : results) {
        if (!text.empty()) text += ", ";
        text += name;
        text += result ? " 1" : " 0";
    }
    return text;
}

std::string shown(const std::string& bytes) {
    std::string out;
    for (char c : bytes) out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
}

std::string writeProfile(FileSystem& files, const std::string& folder) {
    const std::string path = folder + "\\list.cfg";
    files.appendFileW(path, "[First]\r\nPrintName1=Alpha\r\nPrintName2=A name longer than ten\r\n[Second]\r\n[Third]\r\n");
    return path;
}

Outcome sectionNamesFillTheZeroedBufferInFileOrder(Platform& p, const std::string& folder) {
    const std::string names = p.files.profileSectionNames(writeProfile(p.files, folder), 64);
    return expect(names.size() == 64 && names.compare(0, 20, std::string("First\0Second\0Third\0\0", 20)) == 0,
                  shown(names.substr(0, 24)) + " in " + std::to_string(names.size()) + " bytes");
}

Outcome aValueIsReadAndAMissingKeyIsEmpty(Platform& p, const std::string& folder) {
    const std::string file = writeProfile(p.files, folder);
    const std::string value = p.files.profileString(file, "First", "PrintName1", 128);
    const std::string missing = p.files.profileString(file, "First", "PrintName3", 128);
    return expect(value == "Alpha" && missing.empty(), "[" + value + "] and [" + missing + "]");
}

Outcome aValueIsCutToTheBufferLessOne(Platform& p, const std::string& folder) {
    const std::string cut = p.files.profileString(writeProfile(p.files, folder), "First", "PrintName2", 11);
    return expect(cut == "A name lon", shown(cut));
}

Outcome aMissingProfileHasNoSections(Platform& p, const std::string& folder) {
    const std::string names = p.files.profileSectionNames(folder + "\\no\\such.cfg", 16);
    return expect(!names.empty() && names[0] == '\0', shown(names));
}

Outcome theDoubleSlashPatternListsTheFolder(Platform& p, const std::string& folder) {
    p.files.appendFileW(folder + "\\list.cfg", "x");
    auto found = p.files.findFiles(folder + "//*.*");
    const bool listed =
        found && std::any_of(found->begin(), found->end(), [](const FoundFile& f) { return f.name == "list.cfg"; });
    const bool missingFails = !p.files.findFiles(folder + "\\no\\such//*.*");
    return expect(listed && missingFails, listed ? "a missing folder was listed" : "list.cfg is not listed");
}

Outcome pathsIgnoreCaseAndTakeBothSlashes(Platform& p, const std::string& folder) {
    p.files.createFolderW(folder + "\\X86", protectedSddl);
    p.files.appendFileW(folder + "\\X86\\A.GPD", "a");
    std::string mixed = folder;
    std::replace(mixed.begin(), mixed.end(), '\\', '/');
    return expect(p.files.attributesW(mixed + "//x86\\a.gpd").has_value(), mixed + "//x86\\a.gpd");
}

Outcome attributesTellAFolderAndAMissingPathHasNone(Platform& p, const std::string& folder) {
    const bool isFolder = p.files.attributes(folder).value_or(0) & fileAttributeDirectory;
    return expect(isFolder && !p.files.attributes(folder + "\\nothing"), isFolder ? "a missing path has attributes"
                                                                                   : "the folder is no folder");
}

Outcome aFolderGoesOnlyOnceItIsEmpty(Platform& p, const std::string& folder) {
    const std::string inner = folder + "\\inner";
    p.files.createFolderW(inner, protectedSddl);
    p.files.appendFileW(inner + "\\list.cfg", "x");
    const bool keptWhileFull = !p.files.removeDirectory(inner);
    const bool fileDeleted = p.files.deleteFile(inner + "//list.cfg");
    const bool removed = p.files.removeDirectory(inner);
    return expect(keptWhileFull && fileDeleted && removed,
                  steps({{"kept while full", keptWhileFull}, {"file deleted", fileDeleted}, {"removed", removed}}));
}

Outcome readOnlyKeepsAFileUntilTheAttributeIsCleared(Platform& p, const std::string& folder) {
    const std::string file = folder + "\\a.gpd";
    p.files.appendFileW(file, "a");
    const bool set = p.files.setAttributesW(file, fileAttributeReadOnly);
    const bool readOnly = p.files.attributesW(file).value_or(0) & fileAttributeReadOnly;
    const bool kept = !p.files.deleteFileW(file);
    const bool cleared = p.files.setAttributesW(file, 0x80);  // FILE_ATTRIBUTE_NORMAL
    const bool deleted = p.files.deleteFileW(file);
    return expect(set && readOnly && kept && cleared && deleted,
                  steps({{"set", set}, {"read-only", readOnly}, {"kept", kept}, {"cleared", cleared},
                         {"deleted", deleted}}));
}

Outcome anAsciiPathIsSpelledAsItIs(Platform& p, const std::string&) {
    return expect(p.files.ansiSpelling("C:\\Ticket") == std::string("C:\\Ticket"));
}

Outcome aWholeFileIsReadAndAMissingOneIsError2(Platform& p, const std::string& folder) {
    std::string bytes("a\0b\xff", 4);
    bytes += std::string(200000, 'x');
    p.files.appendFileW(folder + "\\whole.bin", bytes);
    Result<std::string> read = p.files.readFileW(folder + "\\whole.bin");
    Result<std::string> missing = p.files.readFileW(folder + "\\none.bin");
    return both(expect(read && *read == bytes, read ? std::to_string(read->size()) + " bytes read" : "not read"),
                expect(!missing && missing.error() == 2, missing ? "read" : std::to_string(missing.error())));
}

Outcome aFolderThatIsThereIsRefusedWith183(Platform& p, const std::string& folder) {
    const std::uint32_t made = p.files.createFolderW(folder + "\\made", protectedSddl);
    const std::uint32_t again = p.files.createFolderW(folder + "\\made", protectedSddl);
    return expect(made == 0 && again == errorAlreadyExists,
                  "made " + std::to_string(made) + ", again " + std::to_string(again));
}

Outcome anSddlThatDoesNotParseIsRefused(Platform& p, const std::string& folder) {
    return expect(p.files.createFolderW(folder + "\\bad", "D:(bad") != 0);
}

Outcome aNamedMutexStaysTakenUntilItsLastHandleCloses(Platform& p, const std::string&) {
    System& system = p.system;
    const std::string name = "Global\\SeamChecks.Lock";
    auto first = system.createNamedMutex(name);
    auto second = system.createNamedMutex(name);
    const bool freeAtFirst = first && !first->alreadyExisted;
    const bool takenMeanwhile = second && second->alreadyExisted;
    if (first) system.closeMutex(first->handle);
    auto third = system.createNamedMutex(name);
    const bool takenByTheSecond = third && third->alreadyExisted;
    if (second) system.closeMutex(second->handle);
    if (third) system.closeMutex(third->handle);
    auto fourth = system.createNamedMutex(name);
    const bool freeAgain = fourth && !fourth->alreadyExisted;
    if (fourth) system.closeMutex(fourth->handle);
    return expect(freeAtFirst && takenMeanwhile && takenByTheSecond && freeAgain,
                  steps({{"free at first", freeAtFirst}, {"taken meanwhile", takenMeanwhile},
                         {"taken by the second handle", takenByTheSecond}, {"free again", freeAgain}}));
}

Outcome aFolderListsItsEntriesByTheirUnicodeNames(Platform& p, const std::string& folder) {
    const std::string unicodeName = "\xD0\xA1\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBA\xD0\xB0";  // Cyrillic
    p.files.appendFileW(folder + "\\whole.bin", "x");
    p.files.createFolderW(folder + "\\" + unicodeName, protectedSddl);
    Result<std::vector<FoundFile>> entries = p.files.folderEntriesW(folder);
    std::string listed;
    bool kindsRight = entries && entries->size() == 2;
    if (entries)
        for (const FoundFile& entry : *entries) {
            listed += entry.name + " ";
            const bool folderEntry = (entry.attributes & fileAttributeDirectory) != 0;
            kindsRight = kindsRight && (entry.name == unicodeName ? folderEntry : entry.name == "whole.bin" && !folderEntry);
        }
    Result<std::vector<FoundFile>> none = p.files.folderEntriesW(folder + "\\none");
    return both(expect(kindsRight, listed), expect(!none, "a missing folder was listed"));
}

Outcome aMissingKeyFailsWithFileNotFound(Platform& p, const std::string&) {
    auto missing = p.registry.openKey(RegistryRoot::LocalMachine, "Software\\No\\Such\\Key", RegistryAccess::Read);
    return expect(!missing && missing.error() == win_error::fileNotFound,
                  missing ? "opened" : std::to_string(missing.error()));
}

// A key with one value, "Port" = "COM1:" with its NUL, as the serial device map and the
// printer keys hold theirs.
Outcome enumerationFailsWithMoreDataAndEndsWithNoMoreItems(Platform& p, const std::string&) {
    Registry& registry = p.registry;
    auto key = registry.createKey(RegistryRoot::CurrentUser, "Software\\SeamChecks");
    if (!key) return expect(false, "the key is not created: " + std::to_string(key.error()));
    registry.setValue(*key, "Port", regSz, stringValue("COM1:"));
    auto first = registry.enumValue(*key, 0, 64, 64);
    auto small = registry.enumValue(*key, 0, 64, 2);
    auto end = registry.enumValue(*key, 1, 64, 64);
    registry.closeKey(*key);
    return both(expect(first && first->name == "Port" && first->type == regSz && first->data == stringValue("COM1:"),
                       first ? first->name + " = " + shown(first->data) : std::to_string(first.error())),
                both(expect(!small && small.error() == win_error::moreData,
                            small ? "fitted" : std::to_string(small.error())),
                     expect(!end && end.error() == win_error::noMoreItems, end ? "more" : std::to_string(end.error()))));
}

// The environment of the calling process, the one its spooler takes printers' drivers for.
const char* ownEnvironment() {
    return sizeof(void*) == 8 ? "Windows x64" : "Windows NT x86";
}

std::optional<DriverRecord> listedDriver(Spooler& spooler, const std::string& name) {
    Result<std::vector<DriverRecord>> drivers = spooler.enumPrinterDrivers(ownEnvironment());
    if (!drivers) return std::nullopt;
    for (const DriverRecord& driver : *drivers)
        if (driver.name == name) return driver;
    return std::nullopt;
}

// A driver of files of the check's own, added, listed, deleted with its unused files, and
// deleted again: a driver that is not there is error 1797.
Outcome aDriverIsListedThenDeletedWithItsUnusedFiles(Platform& p, const std::string& folder) {
    for (const char* file : {"\\probe.dll", "\\probe.dat", "\\probe.hlp"}) p.files.appendFileW(folder + file, "MZ");
    DriverRecord driver;
    driver.version = 3;
    driver.name = "Seam Check Driver";
    driver.environment = ownEnvironment();
    driver.driverPath = folder + "\\probe.dll";
    driver.dataFile = folder + "\\probe.dat";
    driver.configFile = folder + "\\probe.dll";
    driver.helpFile = folder + "\\probe.hlp";
    driver.dependentFiles = std::string(1, '\0');
    SpoolerCall added = p.spooler.addPrinterDriverEx(driver, apdCopyNewFiles);
    if (!added.ok) return expect(false, "not added: " + std::to_string(added.error));
    const bool listed = listedDriver(p.spooler, driver.name).has_value();
    SpoolerCall deleted = p.spooler.deletePrinterDriverEx(driver.environment, driver.name, dpdDeleteUnusedFiles);
    // Whatever the deletion answered, the driver goes, so that the next check's machine is clean.
    if (!deleted.ok) p.spooler.deletePrinterDriverEx(driver.environment, driver.name, 0);
    const bool gone = !listedDriver(p.spooler, driver.name);
    SpoolerCall again = p.spooler.deletePrinterDriverEx(driver.environment, driver.name, dpdDeleteUnusedFiles);
    return expect(listed && deleted.ok && gone && !again.ok && again.error == spooler_error::unknownPrinterDriver,
                  steps({{"listed", listed}, {"deleted", deleted.ok}, {"gone", gone}}) + ", deletion error " +
                      std::to_string(deleted.error) + ", second deletion error " + std::to_string(again.error));
}

Outcome anUnknownEnvironmentHasNoDrivers(Platform& p, const std::string&) {
    Result<std::vector<DriverRecord>> drivers = p.spooler.enumPrinterDrivers("Windows 3.11");
    return expect(!drivers && drivers.error() == spooler_error::invalidEnvironment,
                  drivers ? "listed" : std::to_string(drivers.error()));
}

}  // namespace

const std::vector<Check>& checks() {
    static const std::vector<Check> all = {
        {"files: section names fill the zeroed buffer in file order, each ended by NUL",
         sectionNamesFillTheZeroedBufferInFileOrder},
        {"files: a value is read and a missing key reads as empty", aValueIsReadAndAMissingKeyIsEmpty},
        {"files: a value is cut to the buffer size less one", aValueIsCutToTheBufferLessOne},
        {"files: a missing file reads as no sections", aMissingProfileHasNoSections},
        {"files: a search with the //*.* pattern lists the folder, one in a missing folder fails",
         theDoubleSlashPatternListsTheFolder},
        {"files: paths ignore case and take both slashes", pathsIgnoreCaseAndTakeBothSlashes},
        {"files: attributes tell a folder and a missing path has none", attributesTellAFolderAndAMissingPathHasNone},
        {"files: a folder is removed only once it is empty", aFolderGoesOnlyOnceItIsEmpty},
        {"files: read-only keeps a file until the attribute is cleared", readOnlyKeepsAFileUntilTheAttributeIsCleared},
        {"files: an ASCII path is spelled as it is", anAsciiPathIsSpelledAsItIs},
        {"files: a whole file is read, NUL and high bytes too; a missing one is error 2",
         aWholeFileIsReadAndAMissingOneIsError2},
        {"files: a folder that is there already is refused with 183", aFolderThatIsThereIsRefusedWith183},
        {"files: an SDDL text that does not parse is refused", anSddlThatDoesNotParseIsRefused},
        {"files: a folder's entries come with their Unicode names and kinds, without . and ..; a missing folder's "
         "are an error",
         aFolderListsItsEntriesByTheirUnicodeNames},
        {"system: a named mutex stays taken until its last handle closes",
         aNamedMutexStaysTakenUntilItsLastHandleCloses},
        {"registry: a missing key fails with file not found", aMissingKeyFailsWithFileNotFound},
        {"registry: enumeration gives the value, fails with more data, ends with no more items",
         enumerationFailsWithMoreDataAndEndsWithNoMoreItems},
        {"spooler: a driver is listed at level 3, deleted with DPD_DELETE_UNUSED_FILES, and a second deletion "
         "fails with 1797",
         aDriverIsListedThenDeletedWithItsUnusedFiles,
         "Wine's DeletePrinterDriverExW refuses every delete flag with 87, also for a driver that is not there; "
         "without flags it deletes the driver"},
        {"spooler: EnumPrinterDriversA for an unknown environment fails with 1805", anUnknownEnvironmentHasNoDrivers},
    };
    return all;
}

const char* gapOn(const Check& check, Target target) {
    return target == Target::Wine ? check.wineGap : check.simGap;
}

Verdict verdictOf(const Check& check, Target target, const Outcome& outcome) {
    if (gapOn(check, target) == nullptr) return outcome.passed ? Verdict::Passed : Verdict::Failed;
    return outcome.passed ? Verdict::GapClosed : Verdict::KnownGap;
}

}  // namespace setup::seam_checks
