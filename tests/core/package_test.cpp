#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "package/installer_lock.h"
#include "package/package_files.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct PackageTest : ::testing::Test {
    Desktop desktop;
    sim::SimWindows& machine = desktop.machine;
    sim::SimMainWindow& window = desktop.window;
    ArchiveLibrary& library = desktop.dialog.archiveLibrary;

    void SetUp() override { desktop.providePackage(driverNameFile({{"Series R01"}})); }
    int extract() {
        const PackagePath archive{"C:\\Program\\DriverData.Drv", "C:\\Program\\DriverData.Drv"};
        return library.Extract(archive, "C:\\", [] { return true; }, [](const ArchiverListing&) { return true; });
    }
    std::vector<std::string> archiverCalls() {
        std::vector<std::string> calls;
        for (const std::string& entry : machine.log()) {
            for (const char* prefix : {"LoadLibrary", "FreeLibrary", "SevenZip", "Sleep", "CreateFileW", "CloseHandle file"})
                if (entry.rfind(prefix, 0) == 0) calls.push_back(entry);
            if (entry.rfind("GetFileAttributes", 0) == 0 && contains(entry, "DriverData.Drv")) calls.push_back(entry);
        }
        return calls;
    }
    // What the package of the fixture leaves when it is unpacked.
    bool anythingOfThePackage() {
        for (const char* path : {"C:\\DriverName.cfg", "C:\\Ticket\\x86", "C:\\Ticket\\x64", "C:\\Barcode\\x86",
                                 "C:\\Barcode\\x64", "C:\\Barcode\\Common"})
            if (machine.exists(path)) return true;
        return false;
    }
    void closeWith(bool cancel) {
        if (cancel) window.clickCancel();
        else window.clickCloseBox();
        ASSERT_TRUE(window.waitClosed());
        desktop.opened = false;
    }
    std::string lastMessage() { return window.messageBoxes.empty() ? std::string() : window.messageBoxes.back().text; }
};

TEST_F(PackageTest, ASoundPackageIsListedThenUnpackedInOrderWithItsWaits) {
    PackageState package;
    extractPackage(desktop.dialog.context(), library, package);
    EXPECT_EQ(archiverCalls(), (std::vector<std::string>{
                                   "LoadLibrary C:\\Program\\7-zip32.dll",
                                   "Sleep 10",
                                   "GetFileAttributesW C:\\Program\\DriverData.Drv",
                                   "CreateFileW C:\\Program\\DriverData.Drv",
                                   "SevenZipListW C:\\Program\\DriverData.Drv",
                                   "SevenZipSetOwnerWindowEx 28673",
                                   "Sleep 100",
                                   "SevenZip 28673 x -y \"C:\\Program\\DriverData.Drv\" -o\"C:\\\" -hide",
                                   "SevenZipKillOwnerWindowEx 28673",
                                   "Sleep 10",
                                   "CloseHandle file",
                                   "FreeLibrary",
                               }));
    EXPECT_TRUE(package.unpacked);
    EXPECT_TRUE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(machine.exists("c:\\ticket\\X64\\TKR58A.GPD"));
    EXPECT_EQ(desktop.dialog.statusText, "Reading driver file...");
    EXPECT_FALSE(library.loaded());
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(PackageTest, ExtractReportsTheArchiversOutcome) {
    EXPECT_EQ(extract(), 2);
    EXPECT_EQ(library.failure(), "");
    machine.archiverBehaviour = sim::ArchiverBehaviour::Fail;
    EXPECT_EQ(extract(), 0);
    EXPECT_EQ(library.failure(), "Error: CRC error in \"Barcode\\Common\\THERMAL.chm\" (result 1)");
    machine.archiverBehaviour = sim::ArchiverBehaviour::Raise;
    EXPECT_EQ(extract(), 0);
    EXPECT_EQ(library.failure(), "it ended with an exception");
    EXPECT_EQ(machine.logMatching("SevenZipKillOwnerWindowEx").size(), 3u);
}

TEST_F(PackageTest, NothingIsCalledWithoutTheArchiverOrTheArchive) {
    machine.archiverPresent = false;
    EXPECT_EQ(extract(), 0);
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());

    machine.archiverPresent = true;
    for (const char* missing : {"SevenZipKillOwnerWindowEx", "SevenZipListW"}) {
        machine.archiverMissingEntry = missing;
        EXPECT_EQ(extract(), 0);
        EXPECT_FALSE(library.loaded());
        EXPECT_TRUE(machine.logMatching("SevenZip").empty());
    }
    EXPECT_EQ(machine.logMatching("FreeLibrary").size(), 2u);

    machine.archiverMissingEntry.clear();
    std::filesystem::remove(machine.hostPath("C:\\Program\\DriverData.Drv"));
    EXPECT_EQ(extract(), 0);
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
}

// --- entries outside the package's places ---------------------------------------------------

struct OutsideEntryTest : PackageTest, ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(OutsideEntryTest, IsRefusedBeforeAnythingIsWrittenAndNamed) {
    const auto [entry, shown] = GetParam();
    machine.archiveTree[entry] = "payload";
    // One more after it, so that the first outside entry is the one named.
    machine.archiveTree["zz\\later.txt"] = "payload";
    desktop.openAndPrepare();

    EXPECT_TRUE(machine.logMatching("SevenZip ").empty());
    EXPECT_FALSE(anythingOfThePackage());
    EXPECT_FALSE(machine.exists(std::string("C:\\") + entry));
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), std::string("it holds \"") + shown + "\", which lies outside")) << lastMessage();
    EXPECT_EQ(window.messageBoxes[0].caption, "multisetup");
    EXPECT_TRUE(window.driverList.empty());

    window.clickInstall();
    EXPECT_TRUE(desktop.engines.calls.empty());
    EXPECT_EQ(lastMessage(), "No printer is chosen.\r\n\r\n" + window.messageBoxes[0].text);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, OutsideEntryTest,
    ::testing::Values(std::pair{"windows\\win.ini", "windows\\win.ini"}, std::pair{"evil.txt", "evil.txt"},
                      std::pair{"users\\Public\\Desktop\\x.bat", "users\\Public\\Desktop\\x.bat"},
                      std::pair{"Ticket", "Ticket"},                        // the folder as a file
                      std::pair{"DriverName.cfg\\", "DriverName.cfg\\"},    // the list as a folder
                      std::pair{"DriverName.cfg\\x.txt", "DriverName.cfg\\x.txt"},
                      std::pair{"Barcodes\\x.dll", "Barcodes\\x.dll"}, std::pair{"Ticket.\\x.dll", "Ticket.\\x.dll"}));

TEST_F(PackageTest, EntriesOfAnyCaseInTheThreePlacesAreAccepted) {
    machine.archiveTree["TICKET\\x86\\upper.gpd"] = "gpd";
    machine.archiveTree["barcode\\"] = "";
    machine.archiveTree["drivername.CFG"] = driverNameFile({{"Series R01"}});
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});
}

// --- what the clean-up removes ----------------------------------------------------------------

struct CleanUpTest : PackageTest, ::testing::WithParamInterface<bool> {};

TEST_P(CleanUpTest, TheUsersFilesSurviveAndThePackagesGo) {
    machine.writeFile("C:\\Ticket\\keep.txt", "mine");
    machine.writeFile("C:\\Barcode\\Photos\\img.jpg", "photo");
    machine.writeFile("C:\\Ticket\\x86\\notes.txt", "mine too");
    desktop.openAndPrepare();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});

    closeWith(GetParam());
    EXPECT_TRUE(machine.exists("C:\\Ticket\\keep.txt"));
    EXPECT_TRUE(machine.exists("C:\\Barcode\\Photos\\img.jpg"));
    // A folder of the package holding the user's file stays, without the package's file;
    // the package's other folders go.
    EXPECT_TRUE(machine.exists("C:\\Ticket\\x86\\notes.txt"));
    EXPECT_FALSE(machine.exists("C:\\Ticket\\x86\\TKR58A.GPD"));
    EXPECT_FALSE(machine.exists("C:\\Ticket\\x64"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(machine.exists("C:\\Program\\DriverData.Drv"));
}

INSTANTIATE_TEST_SUITE_P(CancelAndCloseBox, CleanUpTest, ::testing::Bool());

TEST_F(PackageTest, LongUnspellableAndReadOnlyEntriesAreRemoved) {
    std::string longFolder = "Ticket";
    for (int i = 0; i < 12; ++i) longFolder += "\\folder-with-a-long-name-" + std::to_string(i);
    const std::string longFile = longFolder + "\\driver.gpd";
    ASSERT_GT(longFile.size() + 3, 260u);
    machine.archiveTree[longFile] = "deep";
    machine.archiveTree["Barcode\\Common\\\xD0\xA1\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBA\xD0\xB0.chm"] = "help";
    machine.archiveTree["Barcode\\x86\\locked.dll"] = "dll";
    machine.archiveReadOnlyEntries = {"Barcode\\x86\\locked.dll", "DriverName.cfg"};
    machine.writeFile("C:\\Barcode\\x64\\old.dll", "read-only file of the user's");
    machine.readOnlyFiles.insert("C:\\Barcode\\x64\\old.dll");
    desktop.openAndPrepare();
    ASSERT_TRUE(machine.exists("C:\\" + longFile));
    ASSERT_TRUE(machine.exists("C:\\Barcode\\x86\\locked.dll"));

    closeWith(true);
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\Common"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(machine.exists("C:\\Barcode\\x64\\old.dll"));
    EXPECT_TRUE(machine.readOnlyFiles.count("C:\\Barcode\\x64\\old.dll"));
}

// --- things of the user's in the way -------------------------------------------------------

struct ObstacleTest : PackageTest, ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(ObstacleTest, IsLeftAloneAndNamed) {
    const auto [make, expected] = GetParam();
    const std::string what = make;
    if (what == "cfg folder") machine.writeFile("C:\\DriverName.cfg\\inside.txt", "mine");
    if (what == "ticket file") machine.writeFile("C:\\Ticket", "mine");
    if (what == "barcode link") {
        machine.writeFile("C:\\Users\\Documents\\keep.txt", "mine");
        std::filesystem::create_directory_symlink(machine.hostPath("C:\\Users\\Documents"),
                                                  machine.hostPath("C:\\") / "Barcode");
    }
    desktop.openAndPrepare();
    EXPECT_TRUE(machine.logMatching("SevenZip ").empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), expected)) << lastMessage();
    EXPECT_TRUE(window.driverList.empty());

    closeWith(true);
    EXPECT_FALSE(machine.exists("C:\\Ticket\\x86"));
    EXPECT_FALSE(machine.exists("C:\\Users\\Documents\\x86"));
    const char* left = what == "cfg folder"    ? "C:\\DriverName.cfg\\inside.txt"
                       : what == "ticket file" ? "C:\\Ticket"
                                               : "C:\\Users\\Documents\\keep.txt";
    EXPECT_TRUE(machine.exists(left));
}

INSTANTIATE_TEST_SUITE_P(
    Obstacles, ObstacleTest,
    ::testing::Values(std::pair{"cfg folder", "C:\\DriverName.cfg is a folder, where the package needs a file"},
                      std::pair{"ticket file", "C:\\Ticket is a file, where the package needs a folder"},
                      std::pair{"barcode link", "C:\\Barcode is a link to another place"}));

// A file at an entry's path is the user's unless it holds that entry's bytes: a different
// content of the same size, a different size, an empty file.
struct UsersFileTest : PackageTest, ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(UsersFileTest, RefusesThePackageAndStaysIntact) {
    const auto [path, content] = GetParam();
    machine.writeFile(path, content);
    desktop.openAndPrepare();
    EXPECT_TRUE(machine.logMatching("SevenZip ").empty());
    EXPECT_TRUE(machine.logMatching("CreateDirectoryW").empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), std::string(path) + " is in the way, and it is not a file of the package"))
        << lastMessage();
    EXPECT_TRUE(window.driverList.empty());

    closeWith(true);
    std::ifstream kept(machine.hostPath(path), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), content);
    EXPECT_FALSE(machine.exists("C:\\Barcode"));
}

INSTANTIATE_TEST_SUITE_P(SizeOrContent, UsersFileTest,
                         ::testing::Values(std::pair{"C:\\Ticket\\x86\\TKR58A.GPD", "GPD"},
                                           std::pair{"C:\\Ticket\\x86\\TKR58A.GPD", "gpd, longer"},
                                           std::pair{"C:\\DriverName.cfg", ""}));

// A run ended from outside leaves files and folders, empty ones too; the next run takes
// them as its own and its Cancel removes them. What else the folders hold keeps them.
TEST_F(PackageTest, AKilledRunsLeftoversGoWithTheNextRunsCancel) {
    for (const auto& [path, content] : machine.archiveTree) machine.writeFile("C:\\" + path, content);
    machine.writeFile("C:\\Barcode\\Photos\\img.jpg", "photo");
    // The killed run got no further: C:\Ticket\x64 is empty.
    std::filesystem::remove(machine.hostPath("C:\\Ticket\\x64\\TKR58A.GPD"));
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});

    closeWith(true);
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\Common"));
    EXPECT_TRUE(machine.exists("C:\\Barcode\\Photos\\img.jpg"));
}

// --- what the archiver of a killed run was still writing --------------------------------------

std::string removedNote(const std::string& path) {
    return "Removed " + path + ": the archiver of an earlier run was still writing it when that run was stopped.";
}

// A run killed while it unpacked leaves the file the archiver was writing under its
// temporary name; the next run removes every such file in the package's places and says so
// in the log, before its own archiver writes. Names merely like it stay, and so does a
// file of the pattern outside the package's places.
TEST_F(PackageTest, AKilledRunsHalfWrittenFilesGoBeforeUnpackingAndTheLogSaysSo) {
    const std::vector<std::string> halfWritten{
        "C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162", "C:\\Ticket\\x86\\TKR58A.GPD.7ztmp8_1",
        "C:\\Barcode\\Common\\Old\\Deeper\\THERMAL.chm.7ztmp4_0", "C:\\drivername.CFG.7ztmp300_5"};
    for (const std::string& path : halfWritten) machine.writeFile(path, "half");
    machine.readOnlyFiles.insert("C:\\Ticket\\x86\\TKR58A.GPD.7ztmp8_1");
    const std::vector<std::string> othersFiles{
        "C:\\Ticket\\x64\\uniDRV.DLL.7ztmp", "C:\\Ticket\\x64\\notes.7ztmp12.txt",
        "C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162.bak", "C:\\Ticket\\x64\\uniDRV.DLL.7ztmp0252_162",
        "C:\\report.doc.7ztmp1_2", "C:\\Windows\\x.dll.7ztmp1_1"};
    for (const std::string& path : othersFiles) machine.writeFile(path, "mine");

    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});
    for (const std::string& path : halfWritten) EXPECT_FALSE(machine.exists(path)) << path;
    std::vector<std::string> notes = desktop.notes.taken();
    std::sort(notes.begin(), notes.end());
    EXPECT_EQ(notes, (std::vector<std::string>{removedNote("C:\\Barcode\\Common\\Old\\Deeper\\THERMAL.chm.7ztmp4_0"),
                                               removedNote("C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162"),
                                               removedNote("C:\\Ticket\\x86\\TKR58A.GPD.7ztmp8_1"),
                                               removedNote("C:\\drivername.CFG.7ztmp300_5")}));
    auto log = machine.log();
    auto removed = std::find(log.begin(), log.end(), "DeleteFileW C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162");
    auto extraction = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("SevenZip ", 0) == 0; });
    ASSERT_NE(removed, log.end());
    EXPECT_TRUE(removed < extraction);

    closeWith(true);
    for (const std::string& path : othersFiles) {
        std::ifstream kept(machine.hostPath(path), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "mine") << path;
    }
    // The folders that held the half-written file were there before the run, and stay.
    EXPECT_TRUE(machine.exists("C:\\Barcode\\Common\\Old\\Deeper"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\Common\\THERMAL.chm"));
    EXPECT_FALSE(machine.exists("C:\\Ticket\\x86"));
}

// A folder below the package's places that is a link is not searched: what it leads to is
// not the package's, whatever its names.
TEST_F(PackageTest, AKilledRunsFilesAreNotLookedForThroughALink) {
    machine.writeFile("C:\\Users\\Documents\\report.doc.7ztmp1_2", "mine");
    machine.writeFile("C:\\Ticket\\x86\\uniDRV.DLL.7ztmp252_162", "half");
    std::filesystem::create_directory_symlink(machine.hostPath("C:\\Users\\Documents"),
                                              machine.hostPath("C:\\Ticket\\x86") / "Documents");
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_TRUE(machine.exists("C:\\Users\\Documents\\report.doc.7ztmp1_2"));
    EXPECT_FALSE(machine.exists("C:\\Ticket\\x86\\uniDRV.DLL.7ztmp252_162"));
    EXPECT_EQ(desktop.notes.taken(), std::vector<std::string>{removedNote("C:\\Ticket\\x86\\uniDRV.DLL.7ztmp252_162")});
}

// One that cannot be deleted stays, is named in the log, and the package is unpacked all
// the same: the archiver never writes into a name that is taken.
TEST_F(PackageTest, AKilledRunsFileThatCannotBeDeletedIsNotedAndTheRunGoesOn) {
    machine.writeFile("C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162", "half");
    machine.failingCalls["DeleteFileW C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162"] = 32;
    desktop.openAndPrepare();
    EXPECT_TRUE(window.messageBoxes.empty()) << lastMessage();
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});
    EXPECT_TRUE(machine.exists("C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162"));
    EXPECT_EQ(desktop.notes.taken(),
              std::vector<std::string>{"Could not remove C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162, which the archiver "
                                       "of an earlier run was still writing when that run was stopped; it stays, and "
                                       "does not keep the package from being unpacked."});
}

// A package that is refused touches nothing, a killed run's files included: the user was
// told that nothing was written, and nothing was.
TEST_F(PackageTest, ARefusedPackageLeavesAKilledRunsFilesAlone) {
    machine.writeFile("C:\\Ticket\\x86\\TKR58A.GPD", "the user's own");
    machine.writeFile("C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162", "half");
    desktop.openAndPrepare();
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), "C:\\Ticket\\x86\\TKR58A.GPD is in the way")) << lastMessage();
    EXPECT_TRUE(machine.exists("C:\\Ticket\\x64\\uniDRV.DLL.7ztmp252_162"));
    EXPECT_TRUE(desktop.notes.taken().empty());
}

// --- the package's folders are made before anything is written into them -----------------------

TEST_F(PackageTest, TheTopFoldersAreMadeWithTheProtectedAccessListBeforeExtraction) {
    machine.writeFile("C:\\Ticket\\keep.txt", "mine");  // there already: not made again
    desktop.openAndPrepare();
    const std::string sddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;WD)";
    EXPECT_EQ(machine.folderSecurity, (std::map<std::string, std::string>{{"c:\\barcode", sddl}}));
    auto log = machine.log();
    auto made = std::find(log.begin(), log.end(), "CreateDirectoryW C:\\Barcode " + sddl);
    auto extraction = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("SevenZip ", 0) == 0; });
    ASSERT_NE(made, log.end());
    EXPECT_TRUE(made < extraction);
    EXPECT_TRUE(machine.exists("C:\\Barcode\\x86\\almonNT.dll"));
}

TEST_F(PackageTest, AFolderThatCannotBeMadeStopsBeforeAnythingIsWritten) {
    // The Barcode folder comes first and is made; Ticket is refused.
    machine.failingCalls["CreateDirectoryW C:\\Ticket"] = 5;
    desktop.openAndPrepare();
    EXPECT_TRUE(machine.logMatching("SevenZip ").empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), "the folder C:\\Ticket could not be created with its access list (error 5)"))
        << lastMessage();
    EXPECT_FALSE(machine.exists("C:\\Barcode"));
    EXPECT_TRUE(window.driverList.empty());
}

// --- a damaged package -----------------------------------------------------------------------

TEST_F(PackageTest, APackageThatFailsPartwayIsRemovedAtOnceAndReported) {
    // Entries unpack in name order: Barcode\..., DriverName.cfg, Ticket\... An earlier run
    // left two of them: one is overwritten before the failure, one never reached.
    machine.writeFile("C:\\Barcode\\Common\\THERMAL.chm", machine.archiveTree["Barcode\\Common\\THERMAL.chm"]);
    machine.writeFile("C:\\Ticket\\x86\\TKR58A.GPD", machine.archiveTree["Ticket\\x86\\TKR58A.GPD"]);
    machine.archiverBehaviour = sim::ArchiverBehaviour::Fail;
    machine.archiverFailure = 3;
    machine.archiverWritesBeforeFailing = 4;
    desktop.openAndPrepare();

    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), "The driver package DriverData.Drv is damaged")) << lastMessage();
    EXPECT_TRUE(contains(lastMessage(), "The archiver said: Error: CRC error in \"Ticket\\x64\\TKR58A.GPD\" (result 3)"))
        << lastMessage();
    EXPECT_TRUE(window.driverList.empty());
    // Removed before the dialog ends.
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\Common\\THERMAL.chm"));
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
}

TEST_F(PackageTest, AnArchiverThatRaisesOrCannotReadTheCatalogueIsReported) {
    machine.archiverBehaviour = sim::ArchiverBehaviour::Raise;
    machine.archiverWritesBeforeFailing = 2;
    desktop.openAndPrepare();
    EXPECT_TRUE(contains(lastMessage(), "The archiver said: it ended with an exception")) << lastMessage();
    EXPECT_FALSE(anythingOfThePackage());
    closeWith(true);

    Desktop second;
    second.providePackage(driverNameFile({{"Series R01"}}));
    second.machine.archiverListFailure = 3;
    second.openAndPrepare();
    ASSERT_EQ(second.window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(second.window.messageBoxes[0].text, "The archiver said: Error: archive header is corrupt"));
    EXPECT_TRUE(second.machine.logMatching("SevenZip ").empty());
}

TEST_F(PackageTest, AStaleListOfAnEarlierRunIsNotReadWhenThePackageFails) {
    machine.writeFile("C:\\DriverName.cfg", driverNameFile({{"Stale printer"}}));
    machine.archiverBehaviour = sim::ArchiverBehaviour::Fail;
    desktop.openAndPrepare();
    EXPECT_TRUE(window.driverList.empty());
    EXPECT_TRUE(machine.exists("C:\\DriverName.cfg"));  // not reached, so not ours
}

// --- where the archiver DLL comes from -------------------------------------------------------

TEST_F(PackageTest, TheDllIsNeverTakenFromTheCurrentFolder) {
    machine.currentDir = "C:\\Downloads";
    desktop.providePackage(driverNameFile({{"Series R01"}}));
    machine.archiverDllFolders = {"C:\\Downloads"};
    desktop.openAndPrepare();
    for (const std::string& load : machine.logMatching("LoadLibrary"))
        EXPECT_FALSE(contains(load, "Downloads")) << load;
    auto log = machine.log();
    auto restrict = std::find(log.begin(), log.end(), "SetDllDirectoryW");
    auto firstLoad = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("LoadLibrary", 0) == 0; });
    EXPECT_TRUE(restrict < firstLoad);
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());
    EXPECT_TRUE(window.driverList.empty());
    window.clickInstall();
    EXPECT_TRUE(contains(lastMessage(), "7-zip32.dll beside the program")) << lastMessage();
}

TEST_F(PackageTest, TheDllOfTheSystemFolderServesWhenTheProgramsFolderHasNone) {
    machine.archiverDllFolders = {"C:\\Windows\\system32"};
    desktop.openAndPrepare();
    EXPECT_EQ(machine.logMatching("LoadLibrary"), (std::vector<std::string>{"LoadLibrary C:\\Program\\7-zip32.dll",
                                                                             "LoadLibrary C:\\Windows\\system32\\7-zip32.dll"}));
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});
}

// --- one installer at a time -------------------------------------------------------------------

TEST_F(PackageTest, ASecondInstallerSaysSoAndTouchesNothing) {
    machine.writeFile("C:\\Ticket\\x86\\TKR58A.GPD", "the first installer's");
    machine.namedMutexes.insert(InstallerLock::name);  // the first installer runs
    desktop.open();
    ASSERT_TRUE(window.waitClosed());
    desktop.opened = false;
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "The driver installer is already running.\r\nFinish or close it before you start it again.");
    EXPECT_EQ(window.endResult, message_box::idCancel);
    EXPECT_TRUE(machine.logMatching("CreateThread").empty());
    EXPECT_TRUE(machine.logMatching("LoadLibrary").empty());
    EXPECT_TRUE(machine.logMatching("Delete").empty());
    EXPECT_TRUE(machine.logMatching("RemoveDirectory").empty());
    EXPECT_TRUE(machine.exists("C:\\Ticket\\x86\\TKR58A.GPD"));
    EXPECT_EQ(machine.namedMutexes.count(InstallerLock::name), 1u);  // still only the first one's
}

TEST_F(PackageTest, TheLockIsHeldWhileTheInstallerRunsAndFreedAfter) {
    desktop.openAndPrepare();
    EXPECT_EQ(machine.namedMutexes.count(InstallerLock::name), 1u);
    InstallerLock second(machine);
    EXPECT_FALSE(second.claim());
    closeWith(true);
    EXPECT_EQ(machine.namedMutexes.count(InstallerLock::name), 0u);
    EXPECT_TRUE(second.claim());
}

// --- folders the ANSI code page cannot spell -------------------------------------------------

TEST_F(PackageTest, AFolderTheCodePageCannotSpellIsNamedByItsShortForm) {
    const std::string cyrillic = "C:\\\xD0\x9F\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82";
    machine.currentDir = cyrillic;
    desktop.providePackage(driverNameFile({{"Series R01"}}));
    machine.setShortName(cyrillic, "D0BA~1");
    desktop.openAndPrepare();
    EXPECT_EQ(machine.logMatching("SevenZip ").size(), 1u);
    EXPECT_TRUE(contains(machine.logMatching("SevenZip ")[0], "x -y \"C:\\D0BA~1\\DriverData.Drv\""));
    EXPECT_EQ(window.driverList, std::vector<std::string>{"Series R01"});
}

TEST_F(PackageTest, WithoutAShortFormTheMessageSaysWhy) {
    machine.currentDir = "C:\\\xD0\x9F\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82";
    desktop.providePackage(driverNameFile({{"Series R01"}}));
    desktop.openAndPrepare();
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_TRUE(contains(lastMessage(), "which cannot spell the folder's name")) << lastMessage();
    EXPECT_FALSE(anythingOfThePackage());
}

}  // namespace
}  // namespace setup::test
