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

}  // namespace
}  // namespace setup::test
