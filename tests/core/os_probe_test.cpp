#include <gtest/gtest.h>

#include "probe/os_probe.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

std::string statusOn(Program program, std::optional<OsVersion> version, std::optional<bool> wow64 = true) {
    Desktop desktop(program);
    desktop.machine.version = version;
    desktop.machine.wow64 = wow64;
    probeOs(desktop.dialog.context());
    return desktop.dialog.statusText;
}

TEST(OsProbe, NamesEachWindowsVersionPerProgram) {
    struct Case {
        std::uint32_t platformId, major, minor;
        const char* multi;  // name shown by multisetup ("" when none)
        const char* solo;
    } cases[] = {
        {1, 4, 0, "Microsoft Windows 95 ", "Microsoft Windows 95 "},
        {1, 4, 10, "Microsoft Windows 98 ", "Microsoft Windows 98 "},
        {1, 4, 90, "Microsoft Windows Me ", "Microsoft Windows Me "},
        {1, 4, 3, "", ""},
        {1, 5, 0, "", ""},
        {2, 3, 51, "Microsoft Windows NT ", "Microsoft Windows NT "},
        {2, 5, 0, "Microsoft Windows 2000 ", "Microsoft Windows 2000 "},
        {2, 5, 1, "Microsoft Windows XP ", "Microsoft Windows XP "},
        {2, 5, 2, "Microsoft Windows 2003 ", "Microsoft Windows 2003 "},
        {2, 5, 3, "", ""},
        {2, 6, 0, "Microsoft Windows vista ", "Microsoft Windows Vista "},
        {2, 6, 1, "Microsoft Windows 7 ", "Microsoft Windows 7 "},
        {2, 6, 2, "Microsoft Windows 8 ", "Microsoft Windows 8 "},
        {2, 6, 3, "", "Microsoft Windows 8.1 "},
        {2, 6, 4, "", ""},
        {2, 7, 0, "", ""},
        {2, 10, 0, "Microsoft Windows 10 ", "Microsoft Windows 10 "},
        {2, 11, 0, "", ""},
        {0, 4, 0, "Microsoft Windows 2000 ", "Microsoft Windows 95 "},
        {0, 6, 1, "Microsoft Windows 2000 ", ""},
        {3, 6, 1, "Microsoft Windows 2000 ", "Microsoft Windows 2000 "},
    };
    for (const Case& c : cases) {
        OsVersion version{c.major, c.minor, 0, c.platformId};
        EXPECT_EQ(statusOn(Program::MultiSetup, version), std::string("Current Systems is ") + c.multi + " 64 bit")
            << c.platformId << " " << c.major << "." << c.minor;
        EXPECT_EQ(statusOn(Program::SoloSetup, version), std::string("Current System is ") + c.solo + " 64 bit")
            << c.platformId << " " << c.major << "." << c.minor;
    }
}

TEST(OsProbe, OsCodesOfWindows10DifferBetweenThePrograms) {
    sim::SimWindows machine(TempRoot().path);
    machine.version = OsVersion{10, 0, 19045, 2};
    EXPECT_EQ(osCode(machine, Program::MultiSetup), 11);
    EXPECT_EQ(osCode(machine, Program::SoloSetup), 12);
    machine.version = OsVersion{6, 3, 9600, 2};
    EXPECT_EQ(osCode(machine, Program::MultiSetup), -1);
    EXPECT_EQ(osCode(machine, Program::SoloSetup), 11);
}

TEST(OsProbe, BitnessComesFromWow64AndDefaultsTo32Bit) {
    OsVersion seven{6, 1, 7601, 2};
    EXPECT_EQ(statusOn(Program::MultiSetup, seven, false), "Current Systems is Microsoft Windows 7  32 bit");
    EXPECT_EQ(statusOn(Program::MultiSetup, seven, std::nullopt), "Current Systems is Microsoft Windows 7  32 bit");
    EXPECT_EQ(statusOn(Program::MultiSetup, std::nullopt, true), "Current Systems is  64 bit");
}

TEST(OsProbe, AProgramBuiltFor64BitWindowsIsOnA64BitSystemThoughNotAWow64Process) {
    Desktop desktop;
    desktop.machine.version = OsVersion{6, 1, 7601, 2};
    desktop.machine.wow64 = false;
    desktop.machine.program64Bit = true;
    probeOs(desktop.dialog.context());
    EXPECT_EQ(desktop.dialog.statusText, "Current Systems is Microsoft Windows 7  64 bit");
    EXPECT_TRUE(desktop.dialog.values.is64Bit);
}

TEST(OsProbe, FallsBackToThePlainVersionRecord) {
    Desktop desktop;
    desktop.machine.versionExAcceptsExRecord = false;
    probeOs(desktop.dialog.context());
    EXPECT_EQ(desktop.dialog.statusText, "Current Systems is Microsoft Windows 7  64 bit");
    EXPECT_EQ(desktop.machine.logMatching("GetVersionEx"),
              (std::vector<std::string>{"GetVersionEx 156", "GetVersionEx 148"}));
    EXPECT_TRUE(desktop.dialog.values.is64Bit);
}

}  // namespace
}  // namespace setup::test
