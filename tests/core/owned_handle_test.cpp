// Handles that close themselves: each kind closes through its own family's call, exactly
// once, whichever way the code that holds it ends.
#include <gtest/gtest.h>

#include <functional>

#include "install/installation_record.h"
#include "package/archive_library.h"
#include "package/installer_lock.h"
#include "ports/port_registry.h"
#include "probe/printer_list.h"
#include "probe/serial_port_list.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

constexpr const char* portsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

struct OwnedHandleTest : ::testing::Test {
    TempRoot root;
    sim::SimWindows machine{root.path};

    void SetUp() override { machine.setRegistryValue(RegistryRoot::LocalMachine, portsKey, "COM1:", regSz, "x"); }
    Result<RegistryKey> openPortsKey() {
        return RegistryKey::adopt(machine, machine.openKey(RegistryRoot::LocalMachine, portsKey, RegistryAccess::Read));
    }
    std::size_t closes(const char* call) { return machine.logMatching(call).size(); }
};

TEST_F(OwnedHandleTest, AKeyClosesOnceWhenItGoesOutOfScope) {
    {
        Result<RegistryKey> key = openPortsKey();
        ASSERT_TRUE(key);
        EXPECT_TRUE(*key);
        EXPECT_EQ(machine.openHandles(), 1);
        EXPECT_EQ(closes("RegCloseKey"), 0u);
    }
    EXPECT_EQ(closes("RegCloseKey"), 1u);
    EXPECT_EQ(machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, AMovedKeyClosesOnceThroughItsLastOwner) {
    {
        Result<RegistryKey> opened = openPortsKey();
        RegistryKey first = std::move(*opened);
        RegistryKey second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_TRUE(second);
        EXPECT_EQ(closes("RegCloseKey"), 0u);

        // Taking another key closes the one held before, and only that one.
        Result<RegistryKey> other = openPortsKey();
        second = std::move(*other);
        EXPECT_EQ(closes("RegCloseKey"), 1u);
        EXPECT_EQ(machine.openHandles(), 1);
    }
    EXPECT_EQ(closes("RegCloseKey"), 2u);
    EXPECT_EQ(machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, AFailedOpenKeepsItsErrorAndClosesNothing) {
    {
        Result<RegistryKey> key = RegistryKey::adopt(
            machine, machine.openKey(RegistryRoot::LocalMachine, "SOFTWARE\\Nowhere", RegistryAccess::Read));
        EXPECT_FALSE(key);
        EXPECT_EQ(key.error(), win_error::fileNotFound);
    }
    EXPECT_EQ(closes("RegCloseKey"), 0u);
}

TEST_F(OwnedHandleTest, AReleasedHandleIsLeftOpenAndAResetOneClosedAtOnce) {
    Handle kept = 0;
    {
        Result<RegistryKey> key = openPortsKey();
        kept = key->release();
        EXPECT_FALSE(*key);
    }
    EXPECT_EQ(closes("RegCloseKey"), 0u);
    EXPECT_EQ(machine.openHandles(), 1);
    machine.closeKey(kept);

    Result<RegistryKey> key = openPortsKey();
    key->reset();
    key->reset();
    EXPECT_EQ(closes("RegCloseKey"), 2u);
    EXPECT_EQ(machine.openHandles(), 0);
}

// Each kind of handle goes back through the call of the family that made it.
TEST_F(OwnedHandleTest, EachKindClosesThroughItsFamilysCall) {
    machine.printers.push_back({"Front till", "LPT1:", "Thermal Driver", "WinPrint", "RAW"});
    machine.writeFile("C:\\Program\\held.bin", "x");
    struct Kind {
        const char* name;
        std::function<bool()> openAndDrop;  // opens one handle and lets it go out of scope
        const char* close;                  // the log entry of its family's close
    };
    const std::vector<Kind> kinds{
        {.name = "RegistryKey", .openAndDrop = [&] { return bool(openPortsKey()); }, .close = "RegCloseKey"},
        {.name = "PrinterHandle",
         .openAndDrop = [&] { return bool(PrinterHandle::adopt(machine, machine.openPrinter("Front till", "RAW", printerAllAccess))); },
         .close = "ClosePrinter"},
        {.name = "ServiceHandle",
         .openAndDrop = [&] { return bool(ServiceHandle::adopt(machine, machine.openManager())); },
         .close = "CloseServiceHandle"},
        {.name = "FileHandle",
         .openAndDrop = [&] { return bool(FileHandle::adopt(machine, machine.openReadOnlyLockedW("C:\\Program\\held.bin"))); },
         .close = "CloseHandle file"},
        {.name = "ArchiverModule",
         .openAndDrop = [&] { return bool(ArchiverModule(machine, machine.load("C:\\Program\\7-zip32.dll"))); },
         .close = "FreeLibrary"},
        {.name = "MutexHandle",
         .openAndDrop = [&] { return bool(MutexHandle(machine, machine.createNamedMutex("Local\\held")->handle)); },
         .close = "CloseHandle mutex"},
    };
    for (const Kind& kind : kinds) {
        const std::size_t before = machine.log().size();
        ASSERT_TRUE(kind.openAndDrop()) << kind.name;
        const std::vector<std::string> log = machine.log();
        EXPECT_EQ(std::count(log.begin() + static_cast<std::ptrdiff_t>(before), log.end(), kind.close), 1) << kind.name;
        EXPECT_EQ(machine.openHandles(), 0) << kind.name;
    }
    EXPECT_TRUE(machine.namedMutexes.empty());
}

// --- the code that holds them ------------------------------------------------------------------

// A printer's registry state: every key a write opened is closed once, whether the write went
// through, was refused (said in a box) or found no key.
TEST(OwnedHandleUse, PrinterPortWritesCloseEveryKeyTheyOpened) {
    struct Case {
        const char* name;
        bool keysThere;
        const char* failingCall;
        std::size_t closes;  // four keys of the printer opened, one of the hardware profile created
    };
    for (const Case& c : {Case{.name = "written", .keysThere = true, .failingCall = "", .closes = 5},
                          Case{.name = "refused", .keysThere = true, .failingCall = "RegSetValueEx", .closes = 5},
                          Case{.name = "no keys", .keysThere = false, .failingCall = "", .closes = 1}}) {
        Desktop desktop;
        sim::SimWindows& machine = desktop.machine;
        if (c.keysThere) {
            machine.drivers.push_back(DriverRecord{.version = 3, .name = "Thermal Driver", .environment = "Windows NT x86"});
            machine.ports = {{"LPT1:", "Local Port", "Local Port", 0}};
            Result<Handle> added = machine.addPrinter({"Front till", "LPT1:", "Thermal Driver", "WinPrint", "RAW"});
            ASSERT_TRUE(added) << c.name;
            machine.closePrinter(*added);
        }
        if (*c.failingCall) machine.failingCalls[c.failingCall] = 5;
        writePrinterPort(desktop.dialog.context(), "Front till", "COM2:");
        EXPECT_EQ(machine.logMatching("RegCloseKey").size(), c.closes) << c.name;
        EXPECT_EQ(machine.openHandles(), 0) << c.name;
    }
}

TEST(OwnedHandleUse, PortSettingsCloseTheirKeyWhenTheWriteIsRefused) {
    Desktop desktop;
    desktop.machine.setRegistryValue(RegistryRoot::LocalMachine, portsKey, "COM1:", regSz, "x");
    desktop.machine.failingCalls["RegSetValueEx"] = 5;
    writePortSettings(desktop.dialog.context(), "COM1:", SerialSettings{});
    EXPECT_EQ(desktop.window.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.machine.logMatching("RegCloseKey").size(), 1u);
    EXPECT_EQ(desktop.machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, TheSerialDeviceMapIsClosedOnceReadAndNotWhenMissing) {
    std::vector<std::string> list;
    EXPECT_EQ(readSerialPortList(machine, list), 0);
    EXPECT_EQ(closes("RegCloseKey"), 0u);
    machine.addSerialPort("\\Device\\Serial0", "COM1");
    EXPECT_EQ(readSerialPortList(machine, list), 1);
    EXPECT_EQ(closes("RegCloseKey"), 1u);
    EXPECT_EQ(machine.openHandles(), 0);
}

// A record with a value missing is no record, but its key is closed all the same.
TEST_F(OwnedHandleTest, AnInstallationRecordKeyIsClosedWhetherTheRecordIsWholeOrNot) {
    machine.failingCalls["RegSetValueEx"] = 5;
    EXPECT_EQ(writeInstallationRecord(machine, "Front till", InstallationRecord{}), 5u);
    EXPECT_EQ(closes("RegCloseKey"), 1u);
    EXPECT_FALSE(readInstallationRecord(machine, "Front till"));
    EXPECT_EQ(closes("RegCloseKey"), 2u);
    EXPECT_EQ(machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, APrinterWhoseSettingsCannotBeReadIsClosedToo) {
    machine.printers.push_back({"Front till", "LPT1:", "Thermal Driver", "WinPrint", "RAW"});
    machine.failingCalls["GetPrinter"] = 5;
    EXPECT_FALSE(readPrinter(machine, "Front till"));
    EXPECT_EQ(closes("ClosePrinter"), 1u);
    Result<std::optional<PrinterRecord>> none = readPrinter(machine, "Back till");
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->has_value());
    EXPECT_EQ(closes("ClosePrinter"), 1u);
    EXPECT_EQ(machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, AnArchiverWithoutItsEntryPointsIsFreedOnce) {
    machine.archiverMissingEntry = "SevenZipListW";
    ArchiveLibrary library(machine, machine, machine);
    EXPECT_EQ(library.Load(), 0);
    EXPECT_FALSE(library.loaded());
    EXPECT_EQ(closes("FreeLibrary"), 1u);
    EXPECT_EQ(machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, TheHeldArchiveIsClosedOnceWhenItsListingIsRefused) {
    machine.writeFile("C:\\Program\\DriverData.Drv", "x");
    ArchiveLibrary library(machine, machine, machine);
    const PackagePath archive{"C:\\Program\\DriverData.Drv", "C:\\Program\\DriverData.Drv"};
    EXPECT_EQ(library.Extract(archive, "C:\\", [] { return true; }, [](const ArchiverListing&) { return false; }), 0);
    EXPECT_EQ(closes("CloseHandle file"), 1u);
    library.Unload();
    EXPECT_EQ(closes("FreeLibrary"), 1u);
    EXPECT_EQ(machine.openHandles(), 0);
}

TEST_F(OwnedHandleTest, ALockAnotherInstallerHoldsIsLetGoAtOnce) {
    machine.namedMutexes.insert(InstallerLock::name);
    {
        InstallerLock lock(machine);
        EXPECT_FALSE(lock.claim());
        EXPECT_EQ(closes("CloseHandle mutex"), 1u);
        EXPECT_EQ(machine.namedMutexes.count(InstallerLock::name), 1u);
    }
    EXPECT_EQ(closes("CloseHandle mutex"), 1u);
}

}  // namespace

}  // namespace setup::test
