// /uninstall through the programs' entry, on a simulated till that holds what an earlier
// installation left: printers, drivers, a language monitor, ports and installation records.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/command_line.h"
#include "app/program_entry.h"
#include "config/unattended_texts.h"
#include "install/installation_record.h"
#include "package/installer_lock.h"
#include "tests/core/fixture.h"
#include "tests/core/run_log_lines.h"
#include "tests/core/sim_program_host.h"

namespace setup::test {

namespace {

constexpr const char* x86 = "Windows NT x86";
constexpr const char* x64 = "Windows x64";
constexpr const char* labelMonitor = "Advanced Language Monitor";
constexpr const char* logPath = "C:\\Deploy\\removal.log";
const std::string withLog = std::string(" /log:") + logPath;
constexpr const char* windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

InstallationRecord recordOf(const std::string& driver, const std::string& port, bool portAdded = false,
                            const std::string& monitor = "", bool monitorAdded = false) {
    return InstallationRecord{"multisetup", "2, 0, 4, 2", driver,  x64,          "3f2a-identity",
                              port,         portAdded,    monitor, monitorAdded, "2026-12-08 09:30:00"};
}

// A till on 64-bit Windows with two parallel ports and a TCP/IP port, and no driver package
// anywhere: a removal needs none.
struct Till {
    explicit Till(Program program = Program::MultiSetup) : machine(root.path), program(program) {
        machine.title = buildConfig(program).programName;
        machine.ports = {{"LPT1:", "Local Port", "Local Port", 0},
                         {"LPT2:", "Local Port", "Local Port", 0},
                         {"IP_10.0.0.5", "Standard TCP/IP Port", "Standard TCP/IP Port", 0}};
        machine.writeFile("C:\\Deploy\\readme.txt", "");
    }
    void driver(const std::string& name, const std::string& environment = x64, const std::string& monitor = "") {
        DriverRecord record;
        record.version = 3;
        record.name = name;
        record.environment = environment;
        record.monitorName = monitor;
        machine.drivers.push_back(record);
    }
    void printer(const std::string& name, const std::string& driver, const std::string& port) {
        machine.printers.push_back(PrinterRecord{name, port, driver, "winprint", "RAW"});
    }
    void record(const std::string& printer, const InstallationRecord& values) {
        ASSERT_EQ(writeInstallationRecord(machine, printer, values), 0u);
    }
    // A receipt printer as this installer leaves it on a parallel port.
    void receiptInstalled(const std::string& name = "Series R01") {
        driver("Series R01");
        printer(name, "Series R01", "LPT1:");
        record(name, recordOf("Series R01", "LPT1:"));
    }

    int run(const std::string& arguments) {
        return runProgram(program, machine.title + ".exe " + arguments, machine.platform(), host, engines);
    }

    std::vector<std::string> log() const { return runLogLines(machine, logPath); }
    std::string wholeLog() const {
        std::string whole;
        for (const std::string& line : log()) whole += line + "\n";
        return whole;
    }
    bool logged(const std::string& line) const {
        const std::vector<std::string> lines = log();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool hasPrinter(const std::string& name) const {
        return std::any_of(machine.printers.begin(), machine.printers.end(),
                           [&](const PrinterRecord& p) { return p.printerName == name; });
    }
    bool hasDriver(const std::string& name, const std::string& environment = x64) const {
        return std::any_of(machine.drivers.begin(), machine.drivers.end(), [&](const DriverRecord& d) {
            return d.name == name && d.environment == environment;
        });
    }
    bool hasMonitor(const std::string& name) const {
        return std::any_of(machine.monitors.begin(), machine.monitors.end(),
                           [&](const MonitorRecord& m) { return m.name == name; });
    }
    bool hasPort(const std::string& name) const {
        return std::any_of(machine.ports.begin(), machine.ports.end(), [&](const PortInfo& p) { return p.name == name; });
    }
    bool hasRecord(const std::string& printer) {
        return machine.registryValue(RegistryRoot::LocalMachine, installationRecordKey(printer), record_value::driver)
            .has_value();
    }

    TempRoot root;
    sim::SimWindows machine;
    Program program;
    sim::SimMainWindow window;
    SimProgramHost host{window};
    DriverEngines engines;
};

// --- what goes and what stays -------------------------------------------------------------------

TEST(Removal, ThePrinterItsDriverAndItsRecordGoEverythingElseStays) {
    Till till;
    till.receiptInstalled();
    // A printer of another maker, the default one.
    till.driver("Office Laser");
    till.printer("Office", "Office Laser", "LPT2:");
    const std::string officeDefault("Office,winspool,LPT2:\0", 22);
    till.machine.setRegistryValue(RegistryRoot::CurrentUser, windowsKey, "Device", regSz, officeDefault);

    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series R01\"" + withLog), 0);
    EXPECT_FALSE(till.hasPrinter("Series R01"));
    EXPECT_FALSE(till.hasDriver("Series R01"));
    EXPECT_FALSE(till.hasRecord("Series R01"));
    EXPECT_TRUE(till.hasPrinter("Office"));
    EXPECT_TRUE(till.hasDriver("Office Laser"));
    EXPECT_TRUE(till.hasPort("LPT1:"));
    EXPECT_EQ(till.machine.registryValue(RegistryRoot::CurrentUser, windowsKey, "Device"), officeDefault);
    // The driver goes with the files no other driver uses.
    EXPECT_EQ(till.machine.logMatching("DeletePrinterDriverEx"),
              std::vector<std::string>{"DeletePrinterDriverEx Series R01 Windows x64 1"});
    EXPECT_TRUE(till.window.messageBoxes.empty());
    const std::vector<std::string> log = till.log();
    const std::vector<std::string> tail(log.end() - 5, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Removed: the printer Series R01",
                                              "Removed: the driver Series R01 (Windows x64)",
                                              "Removed: the installation record",
                                              "Kept: the port LPT1:, as this installer did not add it",
                                              "Exit code 0: removed"}));
}

TEST(Removal, ADriverAnotherPrinterUsesStays) {
    Till till;
    till.receiptInstalled();
    till.printer("Back till", "Series R01", "LPT2:");
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series R01\"" + withLog), 0);
    EXPECT_FALSE(till.hasPrinter("Series R01"));
    EXPECT_TRUE(till.hasPrinter("Back till"));
    EXPECT_TRUE(till.hasDriver("Series R01"));
    EXPECT_TRUE(till.machine.logMatching("DeletePrinterDriverEx").empty());
    EXPECT_FALSE(till.hasRecord("Series R01"));
    EXPECT_TRUE(till.logged("Kept: the driver Series R01 (Windows x64), as the printer Back till uses it"));
}

// The name is compared as Windows compares it: the printer itself never keeps its own driver.
TEST(Removal, ThePrinterIsFoundWhateverTheCaseOfItsName) {
    Till till;
    till.receiptInstalled();
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:SERIES r01\"" + withLog), 0) << till.wholeLog();
    EXPECT_TRUE(till.machine.printers.empty());
    EXPECT_FALSE(till.hasDriver("Series R01"));
    EXPECT_FALSE(till.hasRecord("Series R01"));
}

TEST(Removal, OnlyATcpIpPortThisInstallerAddedAndNoOtherPrinterUsesGoes) {
    struct Case {
        const char* what;
        bool portAdded;
        bool otherPrinterOnIt;
        bool portGoes;
        const char* logged;
    } cases[] = {
        {"added by the installer", true, false, true, "Removed: the port IP_10.0.0.5"},
        {"there before", false, false, false, "Kept: the port IP_10.0.0.5, as this installer did not add it"},
        {"added, another printer on it", true, true, false,
         "Kept: the port IP_10.0.0.5, as the printer Kitchen uses it"},
    };
    for (const Case& c : cases) {
        Till till;
        till.driver("Series L40");
        till.printer("Series L40", "Series L40", "IP_10.0.0.5");
        till.record("Series L40", recordOf("Series L40", "IP_10.0.0.5", c.portAdded));
        if (c.otherPrinterOnIt) {
            till.driver("Kitchen Driver");
            till.printer("Kitchen", "Kitchen Driver", "IP_10.0.0.5");
        }
        EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series L40\"" + withLog), 0) << c.what;
        EXPECT_EQ(till.hasPort("IP_10.0.0.5"), !c.portGoes) << c.what;
        EXPECT_EQ(till.machine.logMatching("DeletePort").size(), c.portGoes ? 1u : 0u) << c.what;
        EXPECT_TRUE(till.logged(c.logged)) << c.what;
        EXPECT_FALSE(till.hasPrinter("Series L40")) << c.what;
        EXPECT_TRUE(till.hasPort("LPT1:")) << c.what;
    }
}

TEST(Removal, TheLanguageMonitorGoesOnlyWhenThisInstallerAddedItAndNoDriverNamesIt) {
    struct Case {
        const char* what;
        bool monitorAdded;
        bool otherDriverNamesIt;
        bool monitorGoes;
        const char* logged;
    } cases[] = {
        {"added, named by no other driver", true, false, true, "Removed: the language monitor Advanced Language Monitor"},
        {"there before", false, false, false,
         "Kept: the language monitor Advanced Language Monitor, as this installer did not add it"},
        {"added, another label driver names it", true, true, false,
         "Kept: the language monitor Advanced Language Monitor, as the driver Series L41 names it"},
    };
    for (const Case& c : cases) {
        Till till;
        till.machine.monitors.push_back({labelMonitor, x64, "C:\\Windows\\system32\\almon64.dll"});
        till.driver("Series L40", x64, labelMonitor);
        till.printer("Series L40", "Series L40", "LPT1:");
        till.record("Series L40", recordOf("Series L40", "LPT1:", false, labelMonitor, c.monitorAdded));
        if (c.otherDriverNamesIt) till.driver("Series L41", x64, labelMonitor);
        EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series L40\"" + withLog), 0) << c.what;
        EXPECT_EQ(till.hasMonitor(labelMonitor), !c.monitorGoes) << c.what;
        EXPECT_TRUE(till.logged(c.logged)) << c.what;
        EXPECT_FALSE(till.hasDriver("Series L40")) << c.what;
        EXPECT_EQ(till.hasDriver("Series L41"), c.otherDriverNamesIt) << c.what;
        // The monitor goes after the driver that named it.
        if (c.monitorGoes) {
            const std::vector<std::string> calls = till.machine.log();
            auto at = [&](const std::string& head) {
                return std::find_if(calls.begin(), calls.end(), [&](const std::string& l) { return l.rfind(head, 0) == 0; });
            };
            EXPECT_LT(at("DeletePrinterDriverEx"), at("DeleteMonitor")) << c.what;
        }
    }
}

// A printer this installer did not record (an install of an older version, or by hand): the
// printer goes and its driver in every environment it is registered in; what the record would
// have said was added stays.
TEST(Removal, WithoutARecordThePrinterAndItsDriverInEachEnvironmentGo) {
    Till till;
    till.machine.monitors.push_back({labelMonitor, x64, "C:\\Windows\\system32\\almon64.dll"});
    till.driver("Series L40", x86, labelMonitor);
    till.driver("Series L40", x64, labelMonitor);
    till.printer("Series L40", "Series L40", "IP_10.0.0.5");
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series L40\"" + withLog), 0);
    EXPECT_FALSE(till.hasPrinter("Series L40"));
    EXPECT_FALSE(till.hasDriver("Series L40", x86));
    EXPECT_FALSE(till.hasDriver("Series L40", x64));
    EXPECT_TRUE(till.hasMonitor(labelMonitor));
    EXPECT_TRUE(till.hasPort("IP_10.0.0.5"));
    EXPECT_TRUE(till.logged("Kept: the language monitor Advanced Language Monitor, as no installation record says "
                            "this installer added it"));
    EXPECT_TRUE(till.logged("Kept: the port IP_10.0.0.5, as no installation record says this installer added it"));
    EXPECT_TRUE(till.logged("Exit code 0: removed"));
}

// A removal that stopped after the printer went is finished by the next one, from the record.
TEST(Removal, ARecordWithoutItsPrinterStillTakesTheDriverAndGoes) {
    Till till;
    till.driver("Series R01");
    till.record("Series R01", recordOf("Series R01", "LPT1:"));
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series R01\"" + withLog), 0);
    EXPECT_FALSE(till.hasDriver("Series R01"));
    EXPECT_FALSE(till.hasRecord("Series R01"));
    const std::vector<std::string> calls = till.machine.log();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DeletePrinter"), 0);
    EXPECT_TRUE(till.logged("Exit code 0: removed"));
}

TEST(Removal, NothingInstalledEndsWithZeroAndTheLogSaysSo) {
    Till till;
    till.driver("Office Laser");
    till.printer("Office", "Office Laser", "LPT2:");
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series R01\"" + withLog), 0);
    EXPECT_TRUE(till.logged("Nothing to remove: there is no printer Series R01 and no installation record of it."));
    EXPECT_EQ(till.log().back(), "Exit code 0: nothing to remove");
    // Neither asking for the printer nor for its record is a failure.
    EXPECT_TRUE(till.logged("No printer Series R01 yet (OpenPrinter: error 1801)"));
    for (const std::string& line : till.log()) EXPECT_EQ(line.rfind("Failed:", 0), std::string::npos) << line;
    EXPECT_TRUE(till.hasPrinter("Office"));
    EXPECT_TRUE(till.hasDriver("Office Laser"));
    for (const char* call : {"DeletePrinter", "DeleteMonitor", "DeletePort", "RegDeleteKeyEx"})
        EXPECT_TRUE(till.machine.logMatching(call).empty()) << call;
}

// --- the spooler or the registry refusing -------------------------------------------------------

// Each call refused in turn: 1603, the call and its error named, and what is still there listed.
// The record goes last, so that whatever is left is still detected as installed.
TEST(Removal, ARefusedCallStopsTheRemovalAndTheLogSaysWhatIsLeft) {
    const std::string all = "the printer Series L40, the driver Series L40 (Windows x64), the language monitor "
                            "Advanced Language Monitor, the port IP_10.0.0.5, the installation record";
    struct Case {
        const char* call;
        std::function<void(sim::SimWindows&)> refuse;
        const char* stopped;
        std::string left;
    } cases[] = {
        {"OpenPrinter", [](sim::SimWindows& m) { m.failingCalls["OpenPrinter"] = 5; }, "OpenPrinter(Series L40)",
         "the printer Series L40, the installation record"},
        {"GetPrinter", [](sim::SimWindows& m) { m.failingCalls["GetPrinter"] = 5; }, "GetPrinter(Series L40)",
         "the printer Series L40, the installation record"},
        {"EnumPrinters", [](sim::SimWindows& m) { m.failingCalls["EnumPrinters"] = 5; }, "EnumPrinters",
         "the printer Series L40, the installation record"},
        {"EnumPrinterDrivers", [](sim::SimWindows& m) { m.failingCalls["EnumPrinterDrivers"] = 5; },
         "EnumPrinterDrivers(Windows NT x86)", "the printer Series L40, the installation record"},
        {"EnumPorts", [](sim::SimWindows& m) { m.enumPortsFails = true; }, "EnumPorts",
         "the printer Series L40, the installation record"},
        {"DeletePrinter", [](sim::SimWindows& m) { m.failingCalls["DeletePrinter"] = 5; }, "DeletePrinter(Series L40)",
         all},
        {"DeletePrinterDriverEx", [](sim::SimWindows& m) { m.failingCalls["DeletePrinterDriverEx"] = 5; },
         "DeletePrinterDriverEx(Series L40, Windows x64)", all.substr(all.find("the driver"))},
        {"DeleteMonitor", [](sim::SimWindows& m) { m.failingCalls["DeleteMonitor"] = 5; },
         "DeleteMonitor(Advanced Language Monitor)", all.substr(all.find("the language"))},
        {"DeletePort", [](sim::SimWindows& m) { m.deletePortErrors["IP_10.0.0.5"] = 5; }, "DeletePort(IP_10.0.0.5)",
         all.substr(all.find("the port"))},
        {"RegDeleteKeyEx", [](sim::SimWindows& m) { m.failingCalls["RegDeleteKeyEx64"] = 5; },
         "RegDeleteKeyEx(HKLM\\SOFTWARE\\Thermal Printer Setup\\Printers\\Series L40)", "the installation record"},
    };
    for (const Case& c : cases) {
        Till till;
        till.machine.systemTexts[5] = "Access is denied.";
        till.machine.monitors.push_back({labelMonitor, x64, "C:\\Windows\\system32\\almon64.dll"});
        till.driver("Series L40", x64, labelMonitor);
        till.printer("Series L40", "Series L40", "IP_10.0.0.5");
        till.record("Series L40", recordOf("Series L40", "IP_10.0.0.5", true, labelMonitor, true));
        c.refuse(till.machine);
        EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series L40\"" + withLog), 1603) << c.call;
        EXPECT_TRUE(till.logged(std::string("The removal stopped: ") + c.stopped +
                                " failed: Access is denied. (error 5)."))
            << c.call;
        EXPECT_TRUE(till.logged("Left: " + c.left + ".")) << c.call;
        EXPECT_EQ(till.log().back(), "Exit code 1603: the removal failed") << c.call;
        EXPECT_TRUE(till.hasRecord("Series L40")) << c.call;
        EXPECT_TRUE(till.window.messageBoxes.empty()) << c.call;
    }
}

// --- the lock, the questions, the command line --------------------------------------------------

TEST(Removal, BesideAnotherInstallerNothingIsRemoved) {
    Till till;
    till.receiptInstalled();
    till.machine.namedMutexes.insert(std::string(InstallerLock::name));
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Series R01\"" + withLog), 1618);
    EXPECT_TRUE(till.hasPrinter("Series R01"));
    EXPECT_TRUE(till.hasRecord("Series R01"));
    EXPECT_TRUE(till.window.messageBoxes.empty());
    EXPECT_TRUE(till.logged("The driver installer is already running.\\nFinish or close it before you start it again."))
        << till.wholeLog();
    EXPECT_EQ(till.log().back(), "Exit code 1618: another installer is running");
}

TEST(Removal, AttendedItAsksFirstAndThenSaysWhatWasRemoved) {
    Till till;
    till.receiptInstalled();
    EXPECT_EQ(till.run("/uninstall \"/printer:Series R01\"" + withLog), 0);
    ASSERT_EQ(till.window.messageBoxes.size(), 2u);
    EXPECT_EQ(till.window.messageBoxes[0].text, "Remove the printer Series R01 and its driver?");
    EXPECT_EQ(till.window.messageBoxes[0].caption, "multisetup");
    EXPECT_EQ(till.window.messageBoxes[0].style, message_box::yesNo | message_box::iconQuestion);
    EXPECT_EQ(till.window.messageBoxes[1].text,
              "Removed: the printer Series R01\r\nRemoved: the driver Series R01 (Windows x64)\r\n"
              "Removed: the installation record\r\nKept: the port LPT1:, as this installer did not add it");
    EXPECT_EQ(till.window.messageBoxes[1].style, message_box::ok | message_box::iconInformation);
    EXPECT_FALSE(till.hasPrinter("Series R01"));
    EXPECT_TRUE(till.logged("Box \"multisetup\": Remove the printer Series R01 and its driver? -> Yes (by the user)"));
    // The program's window is never opened.
    EXPECT_EQ(till.host.dialogEvents, nullptr);
}

TEST(Removal, AttendedNoRemovesNothing) {
    Till till;
    till.receiptInstalled();
    till.window.answers = {message_box::idNo};
    EXPECT_EQ(till.run("/uninstall \"/printer:Series R01\"" + withLog), 1602);
    EXPECT_EQ(till.window.messageBoxes.size(), 1u);
    EXPECT_TRUE(till.hasPrinter("Series R01"));
    EXPECT_TRUE(till.hasDriver("Series R01"));
    EXPECT_TRUE(till.hasRecord("Series R01"));
    EXPECT_TRUE(till.machine.logMatching("OpenPrinter").empty());
    EXPECT_TRUE(till.logged("The printer was not removed: the answer was No."));
    EXPECT_EQ(till.log().back(), "Exit code 1602: the user answered No");
}

TEST(Removal, AttendedRefusalIsShownInAnErrorBox) {
    Till till;
    till.receiptInstalled();
    till.machine.failingCalls["DeletePrinter"] = 5;
    EXPECT_EQ(till.run("/uninstall \"/printer:Series R01\""), 1603);
    ASSERT_EQ(till.window.messageBoxes.size(), 2u);
    EXPECT_EQ(till.window.messageBoxes[1].style, message_box::ok | message_box::iconError);
    EXPECT_NE(till.window.messageBoxes[1].text.find(
                  "Left: the printer Series R01, the driver Series R01 (Windows x64), the installation record."),
              std::string::npos)
        << till.window.messageBoxes[1].text;
}

// Removal reads no package: neither DriverData.Drv nor 7-zip32.dll, nothing unpacked.
TEST(Removal, NeedsNoDriverPackage) {
    Till till(Program::SoloSetup);
    till.machine.archiverPresent = false;
    till.driver("Series R01");
    till.printer("Front till", "Series R01", "LPT1:");
    EXPECT_EQ(till.run("/uninstall /quiet \"/printer:Front till\"" + withLog), 0);
    EXPECT_FALSE(till.hasPrinter("Front till"));
    EXPECT_TRUE(till.machine.logMatching("LoadLibrary").empty());
    EXPECT_TRUE(till.machine.logMatching("CreateDirectoryW").empty());
    EXPECT_FALSE(till.machine.exists("C:\\Ticket"));
}

TEST(Removal, ABadCommandLineEndsWith87BeforeAnythingIsTouched) {
    struct Case {
        Program program;
        const char* arguments;
        const char* logged;
    } cases[] = {
        {Program::MultiSetup, "/uninstall /quiet",
         "Command line refused: /uninstall needs /printer: the printer's name as it was created."},
        {Program::MultiSetup, "/uninstall /quiet \"/printer:Series R01\" /port:parallel",
         "Command line refused: /uninstall takes no /port: it removes the printer /printer names."},
        {Program::MultiSetup, "/uninstall \"/printer:Series R01\" /portname:LPT1: /quiet",
         "Command line refused: /uninstall takes no /portname: it removes the printer /printer names."},
        {Program::MultiSetup, "/uninstall /quiet \"/printer:Series R01\" /default",
         "Command line refused: /uninstall takes no /default: it removes the printer /printer names."},
        {Program::SoloSetup, "/uninstall /quiet \"/printer:Series R01\" \"/name:Front till\"",
         "Command line refused: /uninstall takes no /name: it removes the printer /printer names."},
        {Program::MultiSetup, "/uninstall /uninstall /quiet \"/printer:Series R01\"",
         "Command line refused: The option /uninstall is given twice."},
        {Program::MultiSetup, "/uninstall:yes /quiet \"/printer:Series R01\"",
         "Command line refused: The option /uninstall takes no value."},
        {Program::MultiSetup, "/uninstall /quiet \"/printer:Kass\xC3\xA9 \xE2\x82\xAC\"",
         "Command line refused: The name Kass\xC3\xA9 \xE2\x82\xAC cannot be spelt in this system's code page."},
    };
    for (const Case& c : cases) {
        Till till(c.program);
        till.receiptInstalled();
        EXPECT_EQ(till.run(std::string(c.arguments) + withLog), 87) << c.arguments;
        EXPECT_TRUE(till.logged(c.logged)) << c.arguments;
        EXPECT_TRUE(till.hasPrinter("Series R01")) << c.arguments;
        EXPECT_TRUE(till.machine.logMatching("OpenPrinter").empty()) << c.arguments;
        ASSERT_EQ(till.host.told.size(), 1u) << c.arguments;
        EXPECT_NE(till.host.told[0].text.find("\r\n\r\nUsage: "), std::string::npos) << c.arguments;
        EXPECT_FALSE(till.host.told[0].boxAllowed) << c.arguments;
    }
}

TEST(Removal, TheUsageTextShowsUninstallAndForce) {
    for (Program program : {Program::MultiSetup, Program::SoloSetup}) {
        const std::string usage = usageText(program);
        const std::string name = buildConfig(program).programName;
        EXPECT_NE(usage.find("\r\n       " + name + " /uninstall /printer:NAME [/quiet] [/log:PATH]"), std::string::npos)
            << usage;
        EXPECT_NE(usage.find("[/force]"), std::string::npos);
        EXPECT_NE(usage.find("/force     With /quiet: install again also when the printer is there with this package's"),
                  std::string::npos);
        EXPECT_NE(usage.find("/uninstall Remove the printer NAME"), std::string::npos);
        EXPECT_NE(usage.find("/uninstall ends with 0 also when there was nothing to remove."), std::string::npos);
    }
    ParsedCommandLine line = parseCommandLine("setup.exe /UNINSTALL \"-printer:Series R01\"", Program::MultiSetup);
    EXPECT_EQ(line.refusal, "");
    EXPECT_TRUE(line.options.uninstall);
    EXPECT_FALSE(line.options.quiet);
    EXPECT_FALSE(parseCommandLine("setup.exe /quiet /printer:x /port:usb", Program::MultiSetup).options.uninstall);
}

}  // namespace

}  // namespace setup::test
