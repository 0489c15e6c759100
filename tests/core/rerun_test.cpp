// A quiet run that finds its printer installed: the package's identity, the installation
// record each run with options leaves, and what a re-run, an upgrade and /force do.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/command_line.h"
#include "config/unattended_texts.h"
#include "install/installation_record.h"
#include "install/model_tables.h"
#include "install/package_identity.h"
#include "install/rerun_decision.h"
#include "probe/port_enumeration.h"
#include "tests/core/deployment.h"

namespace setup::test {

namespace {

// --- the package's identity ---------------------------------------------------------------------

// The listing of a package holding every file the tables name, each with a size and CRC of
// its own, and the printer-name list.
std::vector<ArchiveEntry> wholeListing(Program program) {
    std::vector<ArchiveEntry> entries{{"DriverName.cfg", false, 400, 0x11111111u}};
    std::uint32_t crc = 0x1000;
    for (const PackageFile& file : packageFiles(program))
        entries.push_back({std::string(packageFolderPath(file.folder)) + "\\" + file.name, false, 1000 + crc, crc++});
    return entries;
}

ArchiveEntry& entryOf(std::vector<ArchiveEntry>& entries, const std::string& path) {
    auto found = std::find_if(entries.begin(), entries.end(), [&](const ArchiveEntry& e) { return e.path == path; });
    EXPECT_NE(found, entries.end()) << path;
    return *found;
}

constexpr int seriesR01 = 0;
constexpr int seriesL40 = receiptDriverCount;

TEST(PackageIdentity, IsSixteenHexDigitsThatDoNotDependOnTheListingsOrderOrCase) {
    std::vector<ArchiveEntry> entries = wholeListing(Program::MultiSetup);
    const std::string identity = packageIdentity(Program::MultiSetup, seriesR01, "Series R01", entries);
    EXPECT_TRUE(std::regex_match(identity, std::regex("[0-9a-f]{16}"))) << identity;
    std::reverse(entries.begin(), entries.end());
    for (ArchiveEntry& entry : entries)
        std::transform(entry.path.begin(), entry.path.end(), entry.path.begin(), ::toupper);
    EXPECT_EQ(packageIdentity(Program::MultiSetup, seriesR01, "Series R01", entries), identity);
}

TEST(PackageIdentity, ChangesWithAnyFileOfTheDriverAndOnlyWithThose) {
    struct Case {
        int driver;
        const char* listText;
        const char* file;
        bool changes;
    } cases[] = {
        {seriesR01, "Series R01", "Ticket\\x86\\RCPT01.DLL", true},     // its group DLL, 32-bit
        {seriesR01, "Series R01", "Ticket\\x64\\TKR58A.GPD", true},     // its GPD, 64-bit
        {seriesR01, "Series R01", "Ticket\\x64\\uniDRV.DLL", true},     // the universal driver
        {seriesR01, "Series R01", "DriverName.cfg", true},              // which driver a name gets
        {seriesR01, "Series R01", "Ticket\\x86\\TKR58B.GPD", false},    // another model's GPD
        {seriesR01, "Series R01", "Barcode\\x64\\QLBDRV56.DLL", false}, // a label driver's DLL
        {seriesL40, "Series L40", "Barcode\\x64\\QLBDRV56.DLL", true},
        {seriesL40, "Series L40", "Barcode\\x86\\almonNT.dll", true},   // the language monitor
        {seriesL40, "Series L40", "Barcode\\Common\\TKL40.DAT", true},
        {seriesL40, "Series L40", "Barcode\\Common\\TKL42.DAT", false},
        {seriesL40, "Series L40", "Ticket\\x64\\uniDRV.DLL", false},
    };
    for (const Case& c : cases) {
        std::vector<ArchiveEntry> entries = wholeListing(Program::MultiSetup);
        const std::string before = packageIdentity(Program::MultiSetup, c.driver, c.listText, entries);
        ArchiveEntry& file = entryOf(entries, c.file);
        file.crc = *file.crc ^ 0x8000;
        const std::string crcChanged = packageIdentity(Program::MultiSetup, c.driver, c.listText, entries);
        file.crc = *file.crc ^ 0x8000;
        file.size += 1;
        const std::string sizeChanged = packageIdentity(Program::MultiSetup, c.driver, c.listText, entries);
        EXPECT_EQ(crcChanged != before, c.changes) << c.file;
        EXPECT_EQ(sizeChanged != before, c.changes) << c.file;
    }
}

TEST(PackageIdentity, AMissingFileTheDriverAndTheListedNameCount) {
    std::vector<ArchiveEntry> entries = wholeListing(Program::MultiSetup);
    const std::string identity = packageIdentity(Program::MultiSetup, seriesR01, "Series R01", entries);
    // The listed name picks the group DLL; another name is another request.
    EXPECT_NE(packageIdentity(Program::MultiSetup, seriesR01, "Till printer", entries), identity);
    // Series R02 is made of Series R01's files; Series R03 has a GPD of its own.
    EXPECT_EQ(packageIdentity(Program::MultiSetup, 1, "Series R01", entries), identity);
    EXPECT_NE(packageIdentity(Program::MultiSetup, 2, "Series R01", entries), identity);
    entries.erase(std::find_if(entries.begin(), entries.end(),
                               [](const ArchiveEntry& e) { return e.path == "Ticket\\x64\\UNIRES.DLL"; }));
    EXPECT_NE(packageIdentity(Program::MultiSetup, seriesR01, "Series R01", entries), identity);
}

TEST(PackageIdentity, TheDriverOfADisplayName) {
    EXPECT_EQ(driverIndexOfDisplayName("Series R01"), 0);
    EXPECT_EQ(driverIndexOfDisplayName("Series R33"), 32);
    EXPECT_EQ(driverIndexOfDisplayName("Series L40"), 33);
    EXPECT_EQ(driverIndexOfDisplayName("Series L80"), 37);
    EXPECT_FALSE(driverIndexOfDisplayName("Generic / Text Only"));
    EXPECT_EQ(driverDisplayName(Program::SoloSetup, 36), "Series L62");
}

// --- the decision -------------------------------------------------------------------------------

struct Situation {
    RerunRequest request;
    InstalledState installed;
    PortLists ports;

    Situation() {
        request = {"Series R01", "Series R01", "00000000000000aa", portKindParallel, std::nullopt, true, false};
        installed.printer = PrinterRecord{"Series R01", "LPT1:", "Series R01", "WinPrint", "RAW"};
        installed.record = InstallationRecord{"multisetup", "2", "Series R01", "Windows x64", "00000000000000aa",
                                              "LPT1:", false, "", false, "2026-12-01 08:00:00"};
        installed.defaultPrinter = "Series R01";
        ports.parallel = {"LPT1:", "LPT2:"};
        ports.usb = {"USB001"};
    }
    RerunDecision decide() const { return decideRerun(request, installed, ports); }
};

TEST(RerunDecision, ThePrinterAsAskedIsLeftAndTheReasonSaysWhy) {
    Situation s;
    RerunDecision decision = s.decide();
    EXPECT_EQ(decision.outcome, RerunOutcome::AlreadyInstalled);
    EXPECT_EQ(decision.reason,
              "the printer Series R01 has the driver Series R01 of the package's identity 00000000000000aa, its port "
              "LPT1: is a parallel port, and it is the default printer");
    EXPECT_EQ(decision.port, "LPT1:");
    s.request.setDefault = false;
    s.installed.defaultPrinter = "Other";
    EXPECT_EQ(s.decide().outcome, RerunOutcome::AlreadyInstalled);
    s.request.portName = "LPT1:";
    EXPECT_EQ(s.decide().outcome, RerunOutcome::AlreadyInstalled);
}

TEST(RerunDecision, EachConditionFailingInstallsOrUpgrades) {
    struct Case {
        const char* what;
        std::function<void(Situation&)> change;
        RerunOutcome outcome;
        const char* reason;
    } cases[] = {
        {"/force", [](Situation& s) { s.request.force = true; }, RerunOutcome::Install,
         "/force asks for a new installation"},
        {"no printer", [](Situation& s) { s.installed.printer.reset(); }, RerunOutcome::Install,
         "there is no printer Series R01"},
        {"another driver", [](Situation& s) { s.installed.printer->driverName = "Series R02"; }, RerunOutcome::Install,
         "the printer Series R01 has the driver Series R02, not Series R01"},
        {"a port of another kind", [](Situation& s) { s.installed.printer->portName = "USB001"; },
         RerunOutcome::Install, "the printer Series R01 is on USB001, which is not a parallel port of this machine"},
        {"not the port named", [](Situation& s) { s.request.portName = "LPT2:"; }, RerunOutcome::Install,
         "the printer Series R01 is on LPT1:, not on LPT2:"},
        {"no record", [](Situation& s) { s.installed.record.reset(); }, RerunOutcome::Upgrade,
         "the printer Series R01 has no installation record"},
        {"a record of another driver", [](Situation& s) { s.installed.record->driverName = "Series R02"; },
         RerunOutcome::Upgrade, "the printer's installation record names the driver Series R02"},
        {"another identity", [](Situation& s) { s.request.packageIdentity = "00000000000000bb"; },
         RerunOutcome::Upgrade, "the package's identity 00000000000000bb is not the installed 00000000000000aa"},
        {"another default printer", [](Situation& s) { s.installed.defaultPrinter = "Kitchen"; },
         RerunOutcome::Upgrade, "the printer Series R01 is not the default printer"},
        {"no default printer", [](Situation& s) { s.installed.defaultPrinter.reset(); }, RerunOutcome::Upgrade,
         "the printer Series R01 is not the default printer"},
    };
    for (const Case& c : cases) {
        Situation s;
        c.change(s);
        RerunDecision decision = s.decide();
        EXPECT_EQ(decision.outcome, c.outcome) << c.what;
        EXPECT_EQ(decision.reason, c.reason) << c.what;
    }
}

// --- whole runs -----------------------------------------------------------------------------------

const std::string recordKey = "SOFTWARE\\Thermal Printer Setup\\Printers\\";

std::string text(const std::string& value) { return value + '\0'; }
std::string dword(std::uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

std::optional<std::string> recordValue(Deployment& till, const std::string& printer, const char* name) {
    return till.machine.registryValue(RegistryRoot::LocalMachine, recordKey + printer, name);
}

// The log's lines from the given one on: what a later run wrote.
std::vector<std::string> linesFrom(const Deployment& till, std::size_t first) {
    std::vector<std::string> lines = till.log();
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())), lines.end()};
}

bool hasLineStarting(const std::vector<std::string>& lines, const std::string& head) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(head, 0) == 0; });
}

std::string hostFile(Deployment& till, const std::string& path) {
    std::ifstream file(till.machine.hostPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

const std::string r01 = "/quiet /printer:\"Series R01\"";

TEST(InstallationRecord, AfterAParallelInstallNamesTheDriverThePortAndTheTime) {
    Deployment till;
    ASSERT_EQ(till.run(r01 + " /port:parallel" + quietLog), 0);
    EXPECT_EQ(recordValue(till, "Series R01", "Program"), text("multisetup"));
    EXPECT_EQ(recordValue(till, "Series R01", "Version"), text("2, 0, 4, 2"));
    EXPECT_EQ(recordValue(till, "Series R01", "Driver"), text("Series R01"));
    EXPECT_EQ(recordValue(till, "Series R01", "Environment"), text("Windows x64"));
    EXPECT_EQ(recordValue(till, "Series R01", "Port"), text("LPT1:"));
    EXPECT_EQ(recordValue(till, "Series R01", "PortAddedBySetup"), dword(0));
    EXPECT_EQ(recordValue(till, "Series R01", "Monitor"), text(""));
    EXPECT_EQ(recordValue(till, "Series R01", "MonitorAddedBySetup"), dword(0));
    const std::string identity = recordValue(till, "Series R01", "PackageIdentity").value_or("");
    EXPECT_TRUE(std::regex_match(identity, std::regex(std::string("[0-9a-f]{16}") + '\0'))) << identity;
    EXPECT_TRUE(std::regex_match(recordValue(till, "Series R01", "InstalledAt").value_or(""),
                                 std::regex(std::string(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)") + '\0')));
    EXPECT_TRUE(till.loggedStarting("Installation record written: HKLM\\SOFTWARE\\Thermal Printer Setup\\Printers\\"
                                    "Series R01, package identity "));
}

TEST(InstallationRecord, NamesThePortEachSearchEndsOn) {
    {
        Deployment till;
        till.usbPorts();
        ASSERT_EQ(till.run(r01 + " /port:usb" + quietLog), 1167);
        EXPECT_EQ(recordValue(till, "Series R01", "Port"), text("USB002"));
    }
    {
        // The serial search ends later, from its timer.
        Deployment till;
        till.serialPorts({"COM1", "COM2", "COM3"});
        till.machine.serial.attach("COM2", sim::SimSerialDevice::answering(Bytes{0x12}, 20));
        ASSERT_EQ(till.run(r01 + " /port:serial" + quietLog), 0);
        EXPECT_EQ(recordValue(till, "Series R01", "Port"), text("COM2:"));
    }
}

TEST(InstallationRecord, ALabelPrinterNamesItsMonitorAndWhetherThisRunAddedIt) {
    Deployment till;
    till.machine.ports.push_back({"IP_10.0.0.5", "Standard TCP/IP Port", tcpIpPortDescription, 0});
    ASSERT_EQ(till.run("/quiet /printer:\"Series L40\" /port:tcpip" + quietLog), 0);
    EXPECT_EQ(recordValue(till, "Series L40", "Port"), text("IP_10.0.0.5"));
    EXPECT_EQ(recordValue(till, "Series L40", "PortAddedBySetup"), dword(0));  // it was there
    EXPECT_EQ(recordValue(till, "Series L40", "Monitor"), text("Advanced Language Monitor"));
    EXPECT_EQ(recordValue(till, "Series L40", "MonitorAddedBySetup"), dword(1));

    // A monitor that cannot be removed first is there already: not added by this run, but
    // the earlier record's word that this installer added it stands.
    Deployment other;
    other.machine.ports.push_back({"IP_10.0.0.5", "Standard TCP/IP Port", tcpIpPortDescription, 0});
    other.machine.monitors.push_back({"Advanced Language Monitor", "Windows x64", "C:\\Windows\\system32\\almon64.dll"});
    other.machine.failingCalls["DeleteMonitor"] = 5;
    ASSERT_EQ(other.run("/quiet /force /printer:\"Series L40\" /port:tcpip" + quietLog), 0);
    EXPECT_EQ(recordValue(other, "Series L40", "MonitorAddedBySetup"), dword(0));
}

TEST(InstallationRecord, ATcpIpPortTheMonitorAddedIsSaidToBeOurs) {
    Deployment till;
    till.machine.addPortAnswers = {"IP_10.0.0.9"};
    int code = till.run("/printer:\"Series R01\" /port:tcpip" + quietLog, [&] {
        till.window.onDialogThread([] {});
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.portRows.at(portKindTcpIp).selected; }));
        till.window.clickInstall();
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.installText == "&Finish"; }));
        till.window.clickInstall();
    });
    // A port the check had to add is not one the lists held at Install: 1167, as ever.
    ASSERT_EQ(code, 1167);
    EXPECT_EQ(recordValue(till, "Series R01", "Port"), text("IP_10.0.0.9"));
    EXPECT_EQ(recordValue(till, "Series R01", "PortAddedBySetup"), dword(1));
}

TEST(InstallationRecord, ARunWithoutOptionsWritesNone) {
    Deployment till;
    int code = till.run("", [&] {
        till.window.choosePortRow(portKindParallel);
        till.window.clickInstall();
        EXPECT_TRUE(till.window.waitFor([&] { return till.window.installText == "&Finish"; }));
        till.window.clickInstall();
    });
    ASSERT_EQ(code, 0);
    ASSERT_NE(till.printer("Series R01"), nullptr);
    EXPECT_FALSE(recordValue(till, "Series R01", "Program"));
    // The unpack journal comes and goes in every run; no record key is ever made.
    EXPECT_TRUE(till.callsSince(0, "RegCreateKeyEx64 SOFTWARE\\Thermal Printer Setup\\Printers").empty());
    EXPECT_FALSE(till.machine.registryKeyExists(RegistryRoot::LocalMachine, "SOFTWARE\\Thermal Printer Setup"));
}

TEST(InstallationRecord, AWriteThatFailsIsLoggedAndTheCodeStays) {
    Deployment till;
    till.machine.failingCalls["RegCreateKeyEx64"] = 5;
    EXPECT_EQ(till.run(r01 + " /port:parallel" + quietLog), 0);
    EXPECT_TRUE(till.loggedStarting("The installation record could not be written, the exit code stays as it is: "
                                    "HKLM\\SOFTWARE\\Thermal Printer Setup\\Printers\\Series R01: "));
    EXPECT_EQ(till.log().back(), "Exit code 0: installed");
}

// --- re-runs --------------------------------------------------------------------------------------

// The calls a re-run that changes nothing must not make.
const char* const changingCalls[] = {"DeletePrinter", "AddPrinter",    "AddPrinterDriverEx", "AddMonitor",
                                     "DeleteMonitor", "StartService",  "ControlService",     "SevenZip ",
                                     "CreateDirectoryW", "CopyFile",   "RegSetValueEx",      "CreateFile \\\\.\\"};

TEST(Rerun, TheSameCommandAgainChangesNothing) {
    Deployment till;
    till.usbPorts();
    till.machine.attachedDevices.insert("USB002");
    const std::string command = r01 + " /port:usb /default" + quietLog;
    ASSERT_EQ(till.run(command), 0);
    const std::vector<PrinterRecord> printers = till.machine.printers;
    const auto recorded = recordValue(till, "Series R01", "InstalledAt");
    const std::size_t before = till.callsSoFar();

    EXPECT_EQ(till.runAgain(command), 0);
    for (const char* call : changingCalls) EXPECT_TRUE(till.callsSince(before, call).empty()) << call;
    EXPECT_EQ(till.machine.printers, printers);
    EXPECT_EQ(recordValue(till, "Series R01", "InstalledAt"), recorded);
    EXPECT_FALSE(till.packageLeft());
    EXPECT_TRUE(till.logged("Already installed: the printer Series R01 has the driver Series R01 of the package's "
                            "identity " + recordValue(till, "Series R01", "PackageIdentity").value_or("").substr(0, 16) +
                            ", its port USB002 is a USB port, and it is the default printer."));
    EXPECT_TRUE(till.logged("The printer is on USB002"));
    EXPECT_EQ(till.log().back(), "Exit code 0: already installed, nothing was changed");
}

TEST(Rerun, EachConditionFailingInstallsOrUpgrades) {
    struct Case {
        const char* what;
        std::string command;
        std::function<void(Deployment&)> change;
        bool printerCreated;  // else kept, with the driver registered again
    } cases[] = {
        {"the printer deleted", r01 + " /port:parallel /portname:LPT1: /default",
         [](Deployment& d) { d.machine.printers.clear(); }, true},
        {"another driver", r01 + " /port:parallel /portname:LPT1: /default",
         [](Deployment& d) { d.machine.printers[0].driverName = "Series R02"; }, true},
        {"another port", r01 + " /port:parallel /portname:LPT1: /default",
         [](Deployment& d) { d.machine.printers[0].portName = "LPT2:"; }, true},
        {"the record deleted", r01 + " /port:parallel /portname:LPT1: /default",
         [](Deployment& d) { deleteInstallationRecord(d.machine, "Series R01"); }, false},
        {"another package", r01 + " /port:parallel /portname:LPT1: /default",
         [](Deployment& d) { d.machine.archiveTree["Ticket\\x86\\RCPT01.DLL"] = "RCPT01.DLL, version 2"; }, false},
        {"another default printer", r01 + " /port:parallel /portname:LPT1: /default",
         [](Deployment& d) {
             d.machine.setRegistryValue(RegistryRoot::CurrentUser, windowsKey, "Device", regSz,
                                        text("Kitchen,winspool,LPT2:"));
         },
         false},
        {"/force", r01 + " /port:parallel /portname:LPT1: /default /force", [](Deployment&) {}, true},
    };
    for (const Case& c : cases) {
        Deployment till;
        till.parallelPorts();
        ASSERT_EQ(till.run(r01 + " /port:parallel /portname:LPT1: /default" + quietLog), 0) << c.what;
        c.change(till);
        const std::size_t before = till.callsSoFar(), firstLine = till.log().size();
        EXPECT_EQ(till.runAgain(c.command + quietLog), 0) << c.what;
        const std::vector<std::string> log = linesFrom(till, firstLine);
        EXPECT_EQ(till.callsSince(before, "AddPrinterDriverEx").size(), 1u) << c.what;
        EXPECT_EQ(till.callsSince(before, "AddPrinter ").size(), c.printerCreated ? 1u : 0u) << c.what;
        if (!c.printerCreated) {
            EXPECT_TRUE(till.callsSince(before, "DeletePrinter").empty()) << c.what;
        }
        ASSERT_NE(till.printer("Series R01"), nullptr) << c.what;
        EXPECT_EQ(till.printer("Series R01")->portName, "LPT1:") << c.what;
        EXPECT_EQ(till.printer("Series R01")->driverName, "Series R01") << c.what;
        EXPECT_EQ(till.defaultPrinter(), text("Series R01,winspool,LPT1:")) << c.what;
        EXPECT_FALSE(hasLineStarting(log, "Already installed")) << c.what;
        EXPECT_TRUE(hasLineStarting(log, c.printerCreated ? "Installing: " : "Upgrading, the printer is kept: "))
            << c.what;
        EXPECT_TRUE(recordValue(till, "Series R01", "PackageIdentity")) << c.what;
    }
}

// An upgrade registers the package's new driver files and keeps the printer as its user left
// it: shared, with a comment, moved to the other USB port.
TEST(Rerun, AnUpgradeKeepsThePrinterWithItsSettings) {
    Deployment till;
    till.usbPorts();
    till.machine.attachedDevices.insert("USB002");
    const std::string command = r01 + " /port:usb" + quietLog;
    ASSERT_EQ(till.run(command), 0);
    const std::string oldIdentity = recordValue(till, "Series R01", "PackageIdentity").value_or("").substr(0, 16);
    PrinterRecord& printer = till.machine.printers.at(0);
    printer.shareName = "FrontTill";
    printer.comment = "by the door";
    printer.portName = "USB001";
    printer.attributes |= 0x8;  // PRINTER_ATTRIBUTE_SHARED
    const PrinterRecord changed = printer;
    till.machine.archiveTree["Ticket\\x64\\TKTPLUG.dll"] = "TKTPLUG.dll, version 2";
    const std::size_t before = till.callsSoFar(), firstLine = till.log().size();

    EXPECT_EQ(till.runAgain(command), 0);
    const std::vector<std::string> log = linesFrom(till, firstLine);
    EXPECT_EQ(till.machine.printers, std::vector<PrinterRecord>{changed});
    EXPECT_TRUE(till.callsSince(before, "DeletePrinter").empty());
    EXPECT_TRUE(till.callsSince(before, "AddPrinter ").empty());
    EXPECT_TRUE(till.callsSince(before, "ControlService").empty());  // no search restarts the spooler
    EXPECT_EQ(till.callsSince(before, "AddPrinterDriverEx"),
              std::vector<std::string>{"AddPrinterDriverEx Series R01 Windows x64"});
    EXPECT_EQ(hostFile(till, "C:\\Windows\\system32\\spool\\drivers\\x64\\TKTPLUG.dll"), "TKTPLUG.dll, version 2");
    EXPECT_FALSE(hasLineStarting(log, "Status: Checking USB ports"));
    const std::string newIdentity = recordValue(till, "Series R01", "PackageIdentity").value_or("").substr(0, 16);
    EXPECT_NE(newIdentity, oldIdentity);
    EXPECT_EQ(recordValue(till, "Series R01", "Port"), text("USB001"));
    EXPECT_TRUE(till.logged("Upgrading, the printer is kept: the package's identity " + newIdentity +
                            " is not the installed " + oldIdentity + ". Identity " + oldIdentity + " -> " +
                            newIdentity + "."));
    EXPECT_EQ(till.log().back(), "Exit code 0: installed");

    // The upgraded printer is then there as asked.
    const std::size_t after = till.callsSoFar();
    EXPECT_EQ(till.runAgain(command), 0);
    EXPECT_TRUE(till.callsSince(after, "AddPrinterDriverEx").empty());
}

TEST(Rerun, SoloSetupLooksForThePrinterByTheNameItWasCreatedUnder) {
    Deployment till(Program::SoloSetup);
    const std::string command = r01 + " /port:parallel \"/name:Front till\"" + quietLog;
    ASSERT_EQ(till.run(command), 0);
    ASSERT_NE(till.printer("Front till"), nullptr);
    EXPECT_EQ(recordValue(till, "Front till", "Program"), text("solosetup"));
    const std::size_t before = till.callsSoFar();
    EXPECT_EQ(till.runAgain(command), 0);
    EXPECT_TRUE(till.callsSince(before, "AddPrinter").empty());
    EXPECT_TRUE(till.loggedStarting("Already installed: the printer Front till has the driver Series R01"));

    // Another model under the same name is an installation of its own, which a quiet run
    // does not let replace the printer of a typed name.
    EXPECT_EQ(till.runAgain("/quiet /printer:\"Series R03\" /port:parallel \"/name:Front till\"" + quietLog), 1603);
    EXPECT_TRUE(till.logged("Installing: the printer Front till has the driver Series R01, not Series R03."));
    EXPECT_EQ(till.printer("Front till")->driverName, "Series R01");
}

// Without /quiet a run installs as it always did, also when the printer is there as asked.
TEST(Rerun, AnAttendedRunInstallsAgain) {
    Deployment till;
    ASSERT_EQ(till.run(r01 + " /port:parallel" + quietLog), 0);
    const std::size_t before = till.callsSoFar();
    int code = till.runAgain("/printer:\"Series R01\" /port:parallel" + quietLog, [](sim::SimMainWindow& window) {
        window.onDialogThread([] {});
        EXPECT_TRUE(window.waitFor([&] { return window.portRows.at(portKindParallel).selected; }));
        window.clickInstall();
        EXPECT_TRUE(window.waitFor([&] { return window.installText == "&Finish"; }));
        window.clickInstall();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(till.callsSince(before, "DeletePrinter").size(), 1u);
    EXPECT_EQ(till.callsSince(before, "AddPrinter ").size(), 1u);
    EXPECT_FALSE(till.loggedStarting("Already installed"));
}

}  // namespace

}  // namespace setup::test

namespace setup::test {

namespace {

TEST(ForceOption, IsAFlagTheUsageTextShows) {
    ParsedCommandLine line = parseCommandLine("setup.exe /quiet /printer:x /port:usb -FORCE", Program::MultiSetup);
    EXPECT_EQ(line.refusal, "");
    EXPECT_TRUE(line.options.force);
    EXPECT_FALSE(parseCommandLine("setup.exe /quiet /printer:x /port:usb", Program::MultiSetup).options.force);
    EXPECT_EQ(parseCommandLine("setup.exe /force:yes", Program::MultiSetup).refusal, "The option /force takes no value.");
    EXPECT_EQ(parseCommandLine("setup.exe /force /force", Program::MultiSetup).refusal,
              "The option /force is given twice.");
    for (Program program : {Program::MultiSetup, Program::SoloSetup}) {
        const std::string usage = usageText(program);
        EXPECT_NE(usage.find("[/force]"), std::string::npos);
        EXPECT_NE(usage.find("\r\n/force     "), std::string::npos);
    }
}

}  // namespace

}  // namespace setup::test
