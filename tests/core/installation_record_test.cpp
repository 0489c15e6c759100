// The record deployment tools detect an installation by.
#include <gtest/gtest.h>

#include "install/installation_record.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

struct InstallationRecordTest : ::testing::Test {
    TempRoot root;
    sim::SimWindows machine{root.path};

    static InstallationRecord labelRecord() {
        return InstallationRecord{.program = "multisetup",
                                  .version = "1.0.0.1",
                                  .driverName = "Label L42",
                                  .environment = "Windows x64",
                                  .packageIdentity = "0123456789abcdef",
                                  .port = "IP_10.0.0.7",
                                  .portAdded = true,
                                  .monitor = "Advanced Language Monitor",
                                  .monitorAdded = true,
                                  .installedAt = "2026-12-09 10:15:30"};
    }
};

TEST_F(InstallationRecordTest, IsWrittenInTheMachines64BitRegistryWithTheNamesToolsRead) {
    ASSERT_EQ(writeInstallationRecord(machine, "Front till", labelRecord()), 0u);
    const std::string key = "SOFTWARE\\Thermal Printer Setup\\Printers\\Front till";
    EXPECT_EQ(machine.registryValue(RegistryRoot::LocalMachine, key, "Program"), std::string("multisetup\0", 11));
    EXPECT_EQ(machine.registryValue(RegistryRoot::LocalMachine, key, "Driver"), std::string("Label L42\0", 10));
    EXPECT_EQ(machine.registryValue(RegistryRoot::LocalMachine, key, "Port"), std::string("IP_10.0.0.7\0", 12));
    EXPECT_EQ(machine.registryValue(RegistryRoot::LocalMachine, key, "PortAddedBySetup"), std::string("\1\0\0\0", 4));
    EXPECT_EQ(machine.registryValue(RegistryRoot::LocalMachine, key, "MonitorAddedBySetup"),
              std::string("\1\0\0\0", 4));
    // Not in the 32-bit program's own SOFTWARE, where 64-bit tools do not look.
    EXPECT_FALSE(machine.registryValue(RegistryRoot::LocalMachine,
                                       "SOFTWARE\\WOW6432Node\\Thermal Printer Setup\\Printers\\Front till", "Program"));
    EXPECT_FALSE(machine.openKey(RegistryRoot::LocalMachine, key, RegistryAccess::Read));
}

TEST_F(InstallationRecordTest, ReadsBackWhatWasWrittenAndIsGoneOnceDeleted) {
    ASSERT_EQ(writeInstallationRecord(machine, "Front till", labelRecord()), 0u);
    EXPECT_EQ(readInstallationRecord(machine, "Front till"), labelRecord());
    EXPECT_FALSE(readInstallationRecord(machine, "Back till"));

    EXPECT_EQ(deleteInstallationRecord(machine, "Front till"), 0u);
    EXPECT_FALSE(readInstallationRecord(machine, "Front till"));
    // Nothing to delete is not a failure.
    EXPECT_EQ(deleteInstallationRecord(machine, "Front till"), 0u);
}

TEST_F(InstallationRecordTest, ARecordMissingAValueIsNoRecord) {
    ASSERT_EQ(writeInstallationRecord(machine, "Front till", labelRecord()), 0u);
    machine.setRegistryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup\\Printers\\Front till",
                             "MonitorAddedBySetup", regSz, "yes");
    EXPECT_FALSE(readInstallationRecord(machine, "Front till"));
}

TEST_F(InstallationRecordTest, AFailedWriteOrDeleteGivesTheError) {
    machine.failingCalls["RegCreateKeyEx64"] = win_error::accessDenied;
    EXPECT_EQ(writeInstallationRecord(machine, "Front till", labelRecord()), win_error::accessDenied);
    machine.failingCalls.clear();
    ASSERT_EQ(writeInstallationRecord(machine, "Front till", labelRecord()), 0u);
    machine.failingCalls["RegDeleteKeyEx64"] = win_error::accessDenied;
    EXPECT_EQ(deleteInstallationRecord(machine, "Front till"), win_error::accessDenied);
    EXPECT_TRUE(readInstallationRecord(machine, "Front till"));
}

}  // namespace

}  // namespace setup::test
