#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "package/package_files.h"
#include "package/unpack_journal.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

constexpr const char* journalKey = "SOFTWARE\\Thermal Printer Setup\\Unpacking";
constexpr const char* journalHead = "Thermal Printer Setup unpacking journal 1\n";

std::string removedNote(const std::string& path) {
    return "Removed " + path + ": an earlier run unpacked it and was stopped before its clean-up.";
}

// Last month's package: the fixture's. This month's has other driver files and other bytes
// at the paths the two share, and lacks Barcode\Common.
std::map<std::string, std::string> thisMonthsPackage() {
    return {
        {"DriverName.cfg", driverNameFile({{"Series R02"}})},
        {"Ticket\\x86\\TKR58A.GPD", "gpd, second edition"},
        {"Ticket\\x86\\TKR80.GPD", "another model"},
        {"Ticket\\x64\\TKR58A.GPD", "gpd, second edition"},
        {"Barcode\\x86\\almonNT.dll", "dll 2"},
        {"Barcode\\x64\\almon64.dll", "dll 2"},
    };
}

struct EarlierRunTest : ::testing::Test {
    Desktop desktop;
    sim::SimWindows& machine = desktop.machine;
    sim::SimMainWindow& window = desktop.window;

    void SetUp() override { desktop.providePackage(driverNameFile({{"Series R01"}})); }

    // A run of the package beside the program that the machine kills where it was told to:
    // nothing after that point runs, its clean-up included.
    void killedRun() {
        ArchiveLibrary library(desktop.platform.archiver, desktop.platform.files, desktop.platform.system);
        PackageState package;
        EXPECT_THROW(extractPackage(desktop.dialog.context(), library, package), sim::ProcessKilled);
    }
    // A run of the package that ends as every run does: what it unpacked is removed.
    void wholeRun() {
        ArchiveLibrary library(desktop.platform.archiver, desktop.platform.files, desktop.platform.system);
        PackageState package;
        extractPackage(desktop.dialog.context(), library, package);
        EXPECT_TRUE(package.unpacked);
        removePackage(desktop.platform, package);
    }
    std::optional<std::string> journal() {
        return machine.registryValue(RegistryRoot::LocalMachine, journalKey, "Entries");
    }
    std::string content(const std::string& path) {
        std::ifstream file(machine.hostPath(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    bool anythingOfEitherPackage() {
        for (const char* path : {"C:\\DriverName.cfg", "C:\\Ticket", "C:\\Barcode"})
            if (machine.exists(path)) return true;
        return false;
    }
    void closeDialog() {
        window.clickCancel();
        ASSERT_TRUE(window.waitClosed());
        desktop.opened = false;
    }
    std::string lastMessage() { return window.messageBoxes.empty() ? std::string() : window.messageBoxes.back().text; }
    std::vector<std::string> sortedNotes() {
        std::vector<std::string> notes = desktop.notes.taken();
        std::sort(notes.begin(), notes.end());
        return notes;
    }
};

// Killed while its archiver wrote the fourth entry (name order: Barcode\..., DriverName.cfg,
// Ticket\...): three files of last month's package are whole, DriverName.cfg half-written
// under the archiver's temporary name. This month's package, whose files at those paths hold
// other bytes, is unpacked all the same; its clean-up leaves nothing of either.
TEST_F(EarlierRunTest, AKilledRunOfAnotherPackageIsRemovedAndThisPackageUnpacks) {
    machine.archiverKilledAfterWrites = 3;
    killedRun();
    ASSERT_TRUE(machine.exists("C:\\Barcode\\x64\\almon64.dll"));
    ASSERT_TRUE(machine.exists("C:\\DriverName.cfg.7ztmp4242_3"));
    ASSERT_TRUE(journal());

    machine.archiveTree = thisMonthsPackage();
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R02"});
    EXPECT_EQ(content("C:\\Barcode\\x64\\almon64.dll"), "dll 2");
    EXPECT_FALSE(machine.exists("C:\\Barcode\\Common"));
    // The killed run's C:\Ticket held nothing and went: this run made it again, with the
    // package's access list, before the archiver wrote into it.
    EXPECT_EQ(machine.logMatching("CreateDirectoryW C:\\Ticket D:P(").size(), 2u);
    EXPECT_EQ(sortedNotes(), (std::vector<std::string>{
                                 removedNote("C:\\Barcode\\Common\\THERMAL.chm"),
                                 removedNote("C:\\Barcode\\x64\\almon64.dll"),
                                 removedNote("C:\\Barcode\\x86\\almonNT.dll"),
                                 "Removed C:\\DriverName.cfg.7ztmp4242_3: the archiver of an earlier run was still "
                                 "writing it when that run was stopped.",
                             }));

    closeDialog();
    EXPECT_FALSE(anythingOfEitherPackage());
    EXPECT_FALSE(journal());
}

// The journal is there while the run's files are, and names each with its size and CRC.
TEST_F(EarlierRunTest, TheJournalIsKeptBeforeUnpackingAndGoesWithACleanEnd) {
    desktop.openAndPrepare();
    EXPECT_EQ(journal(), std::string(journalHead) +
                             "F 4 08875cac Barcode\\Common\\THERMAL.chm\n"
                             "F 3 3dd3b336 Barcode\\x64\\almon64.dll\n"
                             "F 3 3dd3b336 Barcode\\x86\\almonNT.dll\n"
                             "F 34 92ef068d DriverName.cfg\n"
                             "F 3 d739d800 Ticket\\x64\\TKR58A.GPD\n"
                             "F 3 d739d800 Ticket\\x86\\TKR58A.GPD\n");
    auto log = machine.log();
    auto written = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("RegSetValueEx Entries", 0) == 0; });
    auto folders = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("CreateDirectoryW", 0) == 0; });
    EXPECT_TRUE(written < folders);

    closeDialog();
    EXPECT_FALSE(anythingOfEitherPackage());
    EXPECT_FALSE(journal());
    EXPECT_FALSE(machine.registryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Wow6432Node\\Thermal Printer Setup\\Unpacking", "Entries"));
    EXPECT_EQ(machine.logMatching("RegDeleteKeyEx64 SOFTWARE\\Thermal Printer Setup\\Unpacking").size(), 1u);
    EXPECT_FALSE(machine.registryKeyExists(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup"));
}

// The installer's key stays while it holds an installation record.
TEST_F(EarlierRunTest, TheInstallersKeyStaysWithItsRecords) {
    Result<Handle> record = machine.createKey64(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup\\Printers\\Till");
    ASSERT_TRUE(record);
    machine.closeKey(*record);
    machine.setRegistryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup\\Printers\\Till", "Driver",
                             regSz, std::string("Series R01") + '\0');
    wholeRun();
    EXPECT_FALSE(journal());
    EXPECT_TRUE(machine.registryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup\\Printers\\Till",
                                      "Driver"));
}

// A file of this month's package's paths that no journal accounts for is the user's: the
// package is refused and nothing is touched, the killed run's files and journal included.
TEST_F(EarlierRunTest, AUsersFileNoJournalAccountsForIsStillRefused) {
    machine.archiverKilledAfterWrites = 3;
    killedRun();
    machine.writeFile("C:\\Ticket\\x86\\TKR80.GPD", "the user's own");
    machine.archiveTree = thisMonthsPackage();
    desktop.openAndPrepare();
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_NE(lastMessage().find("C:\\Ticket\\x86\\TKR80.GPD is in the way"), std::string::npos) << lastMessage();
    EXPECT_TRUE(window.driverList.empty());
    closeDialog();
    EXPECT_EQ(content("C:\\Ticket\\x86\\TKR80.GPD"), "the user's own");
    EXPECT_EQ(content("C:\\Barcode\\x64\\almon64.dll"), "dll");
    EXPECT_TRUE(machine.exists("C:\\DriverName.cfg.7ztmp4242_3"));
    EXPECT_TRUE(journal());
    EXPECT_TRUE(desktop.notes.taken().empty());
}

// A file the killed run wrote and someone changed since is someone else's: it stays, and the
// log says why; in the way of this month's package it refuses it.
TEST_F(EarlierRunTest, AFileChangedSinceTheKilledRunWroteItStays) {
    machine.killedAtCall = "SevenZipKillOwnerWindowEx";  // every file written, no clean-up
    killedRun();
    machine.writeFile("C:\\Barcode\\Common\\THERMAL.chm", "my notes");
    machine.archiveTree = thisMonthsPackage();
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(desktop.notes.taken().front(),
              "Left C:\\Barcode\\Common\\THERMAL.chm alone: an earlier run unpacked it, but it has changed since.");
    closeDialog();
    EXPECT_EQ(content("C:\\Barcode\\Common\\THERMAL.chm"), "my notes");
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
    EXPECT_FALSE(journal());
}

TEST_F(EarlierRunTest, AChangedFileWhereThisPackageWritesRefusesIt) {
    machine.killedAtCall = "SevenZipKillOwnerWindowEx";
    killedRun();
    machine.writeFile("C:\\Ticket\\x86\\TKR58A.GPD", "gpd, edited");
    machine.archiveTree = thisMonthsPackage();
    desktop.openAndPrepare();
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_NE(lastMessage().find("C:\\Ticket\\x86\\TKR58A.GPD is in the way"), std::string::npos) << lastMessage();
    closeDialog();
    EXPECT_EQ(content("C:\\Ticket\\x86\\TKR58A.GPD"), "gpd, edited");
}

// Killed before its journal was written, a run has unpacked nothing and made no folder;
// killed after, before the archiver started, it leaves the folders it made, which the next
// run removes when they hold nothing.
TEST_F(EarlierRunTest, ARunKilledBeforeItsJournalLeavesNothingAfterItTheFoldersItMade) {
    machine.killedAtCall = "RegSetValueEx Entries";
    killedRun();
    EXPECT_FALSE(journal());
    EXPECT_FALSE(anythingOfEitherPackage());

    machine.killedAtCall = "SevenZip ";
    killedRun();
    ASSERT_TRUE(journal());
    EXPECT_TRUE(machine.exists("C:\\Barcode"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));

    // A package of the receipt drivers only: C:\Barcode is the killed run's alone.
    machine.archiveTree = {{"DriverName.cfg", driverNameFile({{"Series R02"}})}, {"Ticket\\x86\\TKR80.GPD", "gpd 80"}};
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_FALSE(machine.exists("C:\\Barcode"));
    EXPECT_TRUE(desktop.notes.taken().empty());
    closeDialog();
    EXPECT_FALSE(anythingOfEitherPackage());
    EXPECT_FALSE(journal());
}

// A run killed after it removed an earlier run's files but before its own journal replaced
// that run's: the next run reads the old journal again, finds its files gone, and goes on.
TEST_F(EarlierRunTest, AnEarlierJournalWhoseFilesAreGoneIsReplaced) {
    machine.archiverKilledAfterWrites = 3;
    killedRun();
    machine.archiveTree = thisMonthsPackage();
    machine.killedAtCall = "RegSetValueEx Entries";
    killedRun();
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x64\\almon64.dll"));
    ASSERT_TRUE(journal());
    EXPECT_NE(journal()->find("Barcode\\Common\\THERMAL.chm"), std::string::npos);

    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R02"});
    EXPECT_NE(journal()->find("Ticket\\x86\\TKR80.GPD"), std::string::npos);
    closeDialog();
    EXPECT_FALSE(anythingOfEitherPackage());
    EXPECT_FALSE(journal());
}

// A journal names only the package's places: a file elsewhere with the very size and CRC it
// gives stays, whatever way the name is spelt; so does one below a link.
TEST_F(EarlierRunTest, AJournalReachesNoFileOutsideThePlacesNorThroughALink) {
    machine.writeFile("C:\\Windows\\gpd.dll", "gpd");
    machine.writeFile("C:\\Users\\Documents\\TKR58A.GPD", "gpd");
    std::filesystem::create_directories(machine.hostPath("C:\\Ticket"));
    std::filesystem::create_directory_symlink(machine.hostPath("C:\\Users\\Documents"),
                                              machine.hostPath("C:\\Ticket") / "Docs");
    machine.setRegistryValue(RegistryRoot::LocalMachine, journalKey, "Entries", regBinary,
                             std::string(journalHead) + "F 3 d739d800 Windows\\gpd.dll\n"
                                                        "F 3 d739d800 Ticket\\..\\Windows\\gpd.dll\n"
                                                        "F 3 d739d800 C:\\Windows\\gpd.dll\n"
                                                        "F 3 d739d800 Ticket\\Docs\\TKR58A.GPD\n");
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    closeDialog();
    EXPECT_EQ(content("C:\\Windows\\gpd.dll"), "gpd");
    EXPECT_EQ(content("C:\\Users\\Documents\\TKR58A.GPD"), "gpd");
    EXPECT_TRUE(desktop.notes.taken().empty());
}

// A file of the run that cannot be deleted keeps the journal for the next run; a journal
// that cannot be written is said in the log, and the run goes on as runs did without one.
TEST_F(EarlierRunTest, TheJournalStaysWhileAFileOfTheRunStays) {
    machine.failingCalls["DeleteFileW C:\\Ticket\\x86\\TKR58A.GPD"] = 32;
    wholeRun();
    EXPECT_TRUE(machine.exists("C:\\Ticket\\x86\\TKR58A.GPD"));
    EXPECT_TRUE(journal());

    machine.failingCalls.clear();
    machine.archiveTree = thisMonthsPackage();
    desktop.openAndPrepare();
    EXPECT_EQ(desktop.notes.taken(), std::vector<std::string>{removedNote("C:\\Ticket\\x86\\TKR58A.GPD")});
    closeDialog();
    EXPECT_FALSE(anythingOfEitherPackage());
    EXPECT_FALSE(journal());
}

TEST_F(EarlierRunTest, AJournalThatCannotBeWrittenIsLoggedAndTheRunGoesOn) {
    machine.failingCalls["RegSetValueEx Entries"] = 5;
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});
    EXPECT_EQ(desktop.notes.taken(),
              std::vector<std::string>{"The list of what this run unpacks could not be kept in the registry (error 5): "
                                       "were this run stopped before its clean-up, the next run would take the files "
                                       "it unpacked for someone else's."});
    closeDialog();
    EXPECT_FALSE(anythingOfEitherPackage());
    EXPECT_FALSE(journal());
}

// --- the journal's bytes -----------------------------------------------------------------------

TEST(UnpackJournal, ReadsWhatItWritesAndNothingElse) {
    const std::vector<ArchiveEntry> entries{{"Ticket\\x86", true, 0, std::nullopt},
                                            {"Ticket\\x86\\empty.txt", false, 0, std::nullopt},
                                            {"Ticket\\x86\\\xC3\xA9t\xC3\xA9 name.GPD", false, 4294967301ull, 0xFFFFFFFFu}};
    const std::string text = std::string(journalHead) + "D Ticket\\x86\n" + "F 0 - Ticket\\x86\\empty.txt\n" +
                             "F 4294967301 ffffffff Ticket\\x86\\\xC3\xA9t\xC3\xA9 name.GPD\n";
    EXPECT_EQ(unpackJournalText(entries), text);
    std::optional<std::vector<ArchiveEntry>> read = parseUnpackJournal(text);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 3u);
    EXPECT_EQ((*read)[2].path, "Ticket\\x86\\\xC3\xA9t\xC3\xA9 name.GPD");
    EXPECT_EQ((*read)[2].size, 4294967301ull);
    EXPECT_EQ((*read)[2].crc, 0xFFFFFFFFu);
    EXPECT_TRUE((*read)[0].folder);
    EXPECT_FALSE((*read)[1].crc);

    for (const std::string& damaged : {std::string(), std::string("journal 2\n"), text.substr(0, text.size() - 1),
                                       std::string(journalHead) + "F 3 d739d80 Ticket\\a\n",
                                       std::string(journalHead) + "F x d739d800 Ticket\\a\n",
                                       std::string(journalHead) + "F 3 d739d800\n", std::string(journalHead) + "X a\n"})
        EXPECT_FALSE(parseUnpackJournal(damaged)) << damaged;
}

}  // namespace

}  // namespace setup::test
