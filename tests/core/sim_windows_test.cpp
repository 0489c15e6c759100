// The simulated Windows must behave as Windows does where the program relies on it.
#include <gtest/gtest.h>

#include "tests/core/fixture.h"

namespace setup::test {

namespace {

struct SimWindowsTest : ::testing::Test {
    TempRoot root;
    sim::SimWindows machine{root.path};
};

TEST_F(SimWindowsTest, TheCurrentConfigurationIsTheCurrentHardwareProfile) {
    machine.setRegistryValue(RegistryRoot::CurrentConfig, "System\\CurrentControlSet\\Control\\Print\\Printers\\P",
                             "PrinterOnLine", regSz, "1");
    EXPECT_EQ(machine.registryValue(RegistryRoot::LocalMachine,
                                    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\"
                                    "CurrentControlSet\\Control\\Print\\Printers\\P",
                                    "printeronline"),
              "1");
    EXPECT_FALSE(machine.registryValue(RegistryRoot::CurrentUser, "System", "PrinterOnLine"));
}

TEST_F(SimWindowsTest, PathsIgnoreCaseAndTakeBothSlashes) {
    machine.writeFile("C:\\Ticket\\x86\\A.GPD", "a");
    EXPECT_TRUE(machine.exists("c:/TICKET//X86\\a.gpd"));
    auto found = machine.findFiles("c:\\ticket//*.*");
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 3u);  // ".", ".." and x86
    EXPECT_EQ((*found)[2].attributes, fileAttributeDirectory);
    EXPECT_FALSE(machine.removeDirectory("C:\\Ticket"));  // not empty
}

TEST_F(SimWindowsTest, ProfileReadsFollowTheFirstSectionOfANameAndTrimBlanks) {
    machine.writeFile("C:\\a.ini", "[S]\r\n Key = \"quoted value\" \r\n[s]\r\nKey=second\r\n");
    EXPECT_EQ(machine.profileString("C:\\a.ini", "s", "KEY", 128), "quoted value");
    EXPECT_EQ(machine.profileString("C:\\a.ini", "S", "Key", 4), "quo");
    std::string names = machine.profileSectionNames("C:\\a.ini", 16);
    EXPECT_EQ(names.substr(0, 5), std::string("S\0s\0\0", 5));
}

TEST_F(SimWindowsTest, TheAnsiCodePageSpellsAsciiOnlyAndTheAnsiCallsStopAtMaxPath) {
    machine.currentDir = "C:\\\xD0\x9F\xD0\xB0\xD0\xBA";
    EXPECT_EQ(machine.currentDirectory(260), "C:\\???");
    EXPECT_EQ(machine.currentDirectoryW(), machine.currentDir);
    EXPECT_FALSE(machine.ansiSpelling(machine.currentDir));
    EXPECT_EQ(machine.ansiSpelling("C:\\Ticket"), "C:\\Ticket");

    const std::string deep = "C:\\Ticket\\" + std::string(250, 'x') + "\\a.gpd";
    machine.writeFile(deep, "a");
    EXPECT_FALSE(machine.attributes(deep));
    EXPECT_FALSE(machine.deleteFile(deep));
    EXPECT_TRUE(machine.attributesW(deep));
    EXPECT_TRUE(machine.deleteFileW(deep));
}

TEST_F(SimWindowsTest, ReadOnlyKeepsAFileUntilTheAttributeIsCleared) {
    machine.writeFile("C:\\Ticket\\a.gpd", "a");
    ASSERT_TRUE(machine.setAttributesW("c:\\ticket\\A.GPD", fileAttributeReadOnly));
    EXPECT_EQ(machine.attributesW("C:\\Ticket\\a.gpd"), 0x80u | fileAttributeReadOnly);
    EXPECT_FALSE(machine.deleteFileW("C:\\Ticket\\a.gpd"));
    EXPECT_TRUE(machine.setAttributesW("C:\\Ticket\\a.gpd", 0x80));
    EXPECT_TRUE(machine.deleteFileW("C:\\Ticket\\a.gpd"));
}

TEST_F(SimWindowsTest, AShortNameReachesItsFolder) {
    machine.writeFile("C:\\Program Files\\Setup\\DriverData.Drv", "7z");
    machine.setShortName("C:\\Program Files", "PROGRA~1");
    EXPECT_EQ(machine.shortPathW("C:\\Program Files\\Setup\\DriverData.Drv"), "C:\\PROGRA~1\\Setup\\DriverData.Drv");
    EXPECT_TRUE(machine.exists("c:\\progra~1\\setup\\driverdata.drv"));
    EXPECT_EQ(machine.shortPathW("C:\\No\\Such"), "");
}

TEST_F(SimWindowsTest, TheArchiverIsLoadedOnlyFromAFolderThatHoldsIt) {
    EXPECT_NE(machine.load("C:\\Program\\7-zip32.dll"), 0u);
    EXPECT_EQ(machine.load("C:\\Downloads\\7-zip32.dll"), 0u);
    EXPECT_EQ(machine.load("C:\\Program\\other.dll"), 0u);
}

}  // namespace
}  // namespace setup::test
