#include <gtest/gtest.h>

#include <filesystem>

#include "package/package_files.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

struct PackageTest : ::testing::Test {
    Desktop desktop;
    sim::SimWindows& machine = desktop.machine;
    ArchiveLibrary& library = desktop.dialog.archiveLibrary;

    void SetUp() override { desktop.providePackage(driverNameFile({{"Series R01"}})); }
    int extract() { return library.Extract("C:\\Program\\DriverData.Drv", "C:\\", [] { return true; }); }
    std::vector<std::string> archiverCalls() {
        std::vector<std::string> calls;
        for (const std::string& entry : machine.log())
            for (const char* prefix : {"LoadLibrary", "FreeLibrary", "SevenZip", "Sleep", "GetFileAttributes"})
                if (entry.rfind(prefix, 0) == 0) calls.push_back(entry);
        return calls;
    }
};

TEST_F(PackageTest, ExtractionCallsTheArchiverInOrderWithItsWaits) {
    extractPackage(desktop.dialog.context(), desktop.dialog.archiveLibrary);
    EXPECT_EQ(archiverCalls(), (std::vector<std::string>{
                                   "LoadLibrary 7-zip32.dll",
                                   "Sleep 10",
                                   "GetFileAttributes C:\\Program\\DriverData.Drv",
                                   "SevenZipSetOwnerWindowEx 28673",
                                   "Sleep 100",
                                   "SevenZip 28673 x -y \"C:\\Program\\DriverData.Drv\" -o\"C:\\\" -hide",
                                   "SevenZipKillOwnerWindowEx 28673",
                                   "Sleep 10",
                                   "FreeLibrary",
                               }));
    EXPECT_TRUE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(machine.exists("c:\\ticket\\X64\\TKR58A.GPD"));
    EXPECT_EQ(desktop.dialog.statusText, "Reading driver file...");
    EXPECT_FALSE(library.loaded());
}

TEST_F(PackageTest, ExtractReportsTheArchiversOutcome) {
    EXPECT_EQ(extract(), 2);
    machine.archiverBehaviour = sim::ArchiverBehaviour::Fail;
    EXPECT_EQ(extract(), 0);
    machine.archiverBehaviour = sim::ArchiverBehaviour::Raise;
    EXPECT_EQ(extract(), 0);
    EXPECT_EQ(machine.logMatching("SevenZipKillOwnerWindowEx").size(), 3u);
}

TEST_F(PackageTest, NothingIsCalledWithoutTheArchiverOrTheArchive) {
    machine.archiverPresent = false;
    EXPECT_EQ(extract(), 0);
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());

    machine.archiverPresent = true;
    machine.archiverMissingEntry = "SevenZipKillOwnerWindowEx";
    EXPECT_EQ(extract(), 0);
    EXPECT_FALSE(library.loaded());
    EXPECT_EQ(machine.logMatching("FreeLibrary").size(), 1u);
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());

    machine.archiverMissingEntry.clear();
    std::filesystem::remove(machine.hostPath("C:\\Program\\DriverData.Drv"));
    EXPECT_EQ(extract(), 0);
    EXPECT_TRUE(machine.logMatching("SevenZip").empty());
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
}

TEST_F(PackageTest, CleanUpRemovesEverythingUnpacked) {
    extract();
    machine.writeFile("C:\\Ticket\\x86\\deep\\er\\file.txt", "x");
    removePackage(machine);
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
    EXPECT_FALSE(machine.exists("C:\\Barcode"));
    EXPECT_FALSE(machine.exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(machine.exists("C:\\Program\\DriverData.Drv"));
}

TEST_F(PackageTest, AFileThatCannotBeDeletedKeepsItsFolders) {
    extract();
    machine.readOnlyFiles.insert("C:\\Barcode\\Common\\THERMAL.chm");
    removePackage(machine);
    EXPECT_TRUE(machine.exists("C:\\Barcode\\Common\\THERMAL.chm"));
    EXPECT_FALSE(machine.exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
}

TEST_F(PackageTest, ALinkedFolderIsUnlinkedNotEmptied) {
    extract();
    machine.writeFile("C:\\Users\\Documents\\keep.txt", "precious");
    std::filesystem::create_directory_symlink(machine.hostPath("C:\\Users\\Documents"),
                                              machine.hostPath("C:\\Ticket") / "link");
    removePackage(machine);
    EXPECT_FALSE(machine.exists("C:\\Ticket"));
    EXPECT_TRUE(machine.exists("C:\\Users\\Documents\\keep.txt"));
}

}  // namespace
}  // namespace setup::test
