#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "install/driver_staging.h"
#include "install/model_tables.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

constexpr const char* x86Folder = "C:\\Windows\\system32\\spool\\drivers\\w32x86";
constexpr const char* x64Folder = "C:\\Windows\\system32\\spool\\drivers\\x64";
constexpr int receiptR31 = 30;  // driver index of "Series R31"
constexpr int firstLabel = 33;
constexpr const char* monitorDll = "C:\\Windows\\system32\\almonNT.dll";

// A machine with the whole driver package and the real engines, the dialog prepared.
struct Installation {
    explicit Installation(Program program = Program::MultiSetup, bool is64Bit = false) : desktop(program, true) {
        machine.wow64 = is64Bit;
        machine.ports = {{"LPT1:", "Local Port", "Local Port", 0}};
        desktop.provideFullPackage();
    }
    void prepare() { desktop.openAndPrepare(); }
    // Chooses the driver and port kind and presses Install once.
    void install(int driverIndex, int portKind = portKindParallel) {
        if (!prepared) prepare();
        prepared = true;
        window.chooseDriver(driverIndex);
        window.choosePortRow(portKind);
        window.clickInstall();
    }
    const DriverRecord* driver(const std::string& name) const {
        for (const DriverRecord& d : machine.drivers)
            if (d.name == name) return &d;
        return nullptr;
    }
    const PrinterRecord* printer(const std::string& name) const {
        for (const PrinterRecord& p : machine.printers)
            if (p.printerName == name) return &p;
        return nullptr;
    }
    bool saw(const std::string& status) const {
        return std::find(window.statusHistory.begin(), window.statusHistory.end(), status) != window.statusHistory.end();
    }
    bool finished() const { return window.installText == "&Finish" && window.installEnabled; }

    Desktop desktop;
    sim::SimWindows& machine = desktop.machine;
    sim::SimMainWindow& window = desktop.window;
    bool prepared = false;
};

// Names of a multi-string buffer: NUL-terminated names ended by an empty one.
std::vector<std::string> names(const std::string& block) {
    std::vector<std::string> list;
    for (std::size_t at = 0; at < block.size() && block[at] != '\0'; at = block.find('\0', at) + 1)
        list.push_back(block.substr(at, block.find('\0', at) - at));
    return list;
}

TEST(ReceiptEngine, InstallsOnTheParallelPortAndFinishes) {
    Installation run;
    run.install(0);
    const DriverRecord* driver = run.driver("Series R01");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->environment, "Windows NT x86");
    EXPECT_EQ(driver->version, 3u);
    EXPECT_EQ(driver->driverPath, std::string(x86Folder) + "\\uniDRV.DLL");
    EXPECT_EQ(driver->dataFile, std::string(x86Folder) + "\\TKR58A.GPD");
    EXPECT_EQ(driver->configFile, std::string(x86Folder) + "\\uniDRVui.DLL");
    EXPECT_EQ(driver->helpFile, std::string(x86Folder) + "\\uniDRV.HLP");
    EXPECT_EQ(driver->monitorName, "");
    EXPECT_EQ(driver->defaultDataType, "RAW");
    // The group-1 block and its DLL, byte for byte in a zeroed 255-byte buffer.
    EXPECT_EQ(driver->dependentFiles.size(), 255u);
    EXPECT_EQ(driver->dependentFiles.substr(0, 50),
              std::string("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0RCPT01.DLL\0\0", 50));

    const PrinterRecord* printer = run.printer("Series R01");
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->portName, "LPT1:");
    EXPECT_EQ(printer->driverName, "Series R01");
    EXPECT_EQ(printer->printProcessor, "WinPrint");
    EXPECT_EQ(printer->datatype, "RAW");
    EXPECT_TRUE(run.machine.privilegeEnabled);
    // The default printer, its text with the terminating NUL the registry wants.
    EXPECT_EQ(run.machine.registryValue(RegistryRoot::CurrentUser,
                                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"),
              std::string("Series R01,winspool,LPT1:\0", 26));

    // Staged copies go, the plug-in files stay.
    EXPECT_FALSE(run.machine.exists(std::string(x86Folder) + "\\RCPT01.DLL"));
    EXPECT_FALSE(run.machine.exists(std::string(x86Folder) + "\\uniDRV.DLL"));
    EXPECT_TRUE(run.machine.exists(std::string(x86Folder) + "\\TKTPLUG.dll"));
    EXPECT_TRUE(run.machine.exists(std::string(x86Folder) + "\\TKTPLUG.ini"));

    EXPECT_EQ(run.window.progressHistory, (std::vector<int>{10, 20, 30, 40, 100}));
    EXPECT_TRUE(run.saw(std::string(x86Folder) + "\\RCPT01.DLL"));
    EXPECT_TRUE(run.saw("Adding printer drive Series R01"));
    EXPECT_TRUE(run.saw("Driver Series R01 is added"));
    EXPECT_TRUE(run.saw("Added the printer Series R01"));
    EXPECT_TRUE(run.saw("Set the printer Series R01 to default printer"));
    EXPECT_EQ(run.window.status, "The installation is completed.");
    EXPECT_TRUE(run.finished());
    EXPECT_EQ(run.machine.logMatching("Sleep 500").size(), 1u);

    run.window.clickInstall();  // "&Finish"
    ASSERT_TRUE(run.window.waitClosed());
    EXPECT_EQ(run.window.endResult, message_box::idOk);
}

TEST(ReceiptEngine, StagingCopiesEachFileInOrderAndShowsItsDestination) {
    Installation run;
    run.install(15);  // group 2, not "Series R20": RCPT02
    std::vector<std::string> copies;
    for (const std::string& entry : run.machine.logMatching("CopyFile ")) copies.push_back(entry.substr(9));
    const std::string src = "C:\\Ticket\\x86\\", dst = std::string(x86Folder) + "\\";
    std::vector<std::string> expected;
    for (const char* file : {"RCPT02.DLL", "TKP80A.GPD", "TKTPLUG.dll", "TKTPLUG.ini", "uniDRVui.DLL", "uniDRV.DLL",
                             "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"})
        expected.push_back(src + file + " " + dst + file);
    EXPECT_EQ(copies, expected);
}

TEST(ReceiptEngine, SixtyFourBitSystemsUseTheX64EnvironmentAndFolders) {
    Installation run(Program::MultiSetup, true);
    run.install(0);
    const DriverRecord* driver = run.driver("Series R01");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->environment, "Windows x64");
    EXPECT_EQ(driver->driverPath, std::string(x64Folder) + "\\uniDRV.DLL");
    EXPECT_FALSE(run.machine.logMatching("CopyFile C:\\Ticket\\x64\\RCPT01.DLL").empty());
    EXPECT_TRUE(run.machine.logMatching("CopyFile C:\\Ticket\\x86").empty());
}

TEST(ReceiptEngine, WindowsNt4GetsDriverVersion2) {
    Installation run;
    run.machine.version = OsVersion{4, 0, 1381, 2};
    run.install(0);
    ASSERT_NE(run.driver("Series R01"), nullptr);
    EXPECT_EQ(run.driver("Series R01")->version, 2u);
}

TEST(ReceiptEngine, PluginRowsListThePluginFilesBeforeTheGroupDll) {
    Installation run;
    run.install(receiptR31);
    const DriverRecord* driver = run.driver("Series R31");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->dependentFiles.substr(0, 76),
              std::string("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\TKTPLUG.ini\0\\TKTPLUG.dll\0RCPT05.DLL\0\0", 76));
}

TEST(ReceiptEngine, SoloSetupCreatesThePrinterUnderTheTypedName) {
    Installation run(Program::SoloSetup);
    run.prepare();
    run.prepared = true;
    run.window.chooseDriver(31);  // "Series R32" picks SOLO7
    run.window.onDialogThread([&] { run.window.printerNameText = "Front desk"; });
    run.window.choosePortRow(portKindParallel);
    run.window.clickInstall();
    ASSERT_NE(run.printer("Front desk"), nullptr);
    EXPECT_EQ(run.printer("Front desk")->driverName, "Series R32");
    EXPECT_EQ(names(run.driver("Series R32")->dependentFiles).back(), "SOLO7.DLL");
}

TEST(ReceiptEngine, APrinterNameTheSpoolerWouldRefuseStopsBeforeAnythingIsCopied) {
    for (const std::string& typed : {std::string(), std::string("Desk,1"), std::string("Desk\\1"), std::string(221, 'a'),
                                     std::string("   "), std::string(" \t ")}) {
        Installation run(Program::SoloSetup);
        run.prepare();
        run.prepared = true;
        run.window.onDialogThread([&] { run.window.printerNameText = typed; });
        run.window.choosePortRow(portKindParallel);
        run.window.clickInstall();
        EXPECT_TRUE(run.machine.logMatching("CopyFile").empty()) << typed;
        EXPECT_TRUE(run.machine.drivers.empty());
        ASSERT_EQ(run.window.messageBoxes.size(), 1u);
        EXPECT_NE(run.window.messageBoxes[0].text.find("cannot be used"), std::string::npos);
        EXPECT_TRUE(run.window.installEnabled);
    }
}

TEST(ReceiptEngine, RetryAfterAFailedRegistrationOffersReinstallWhichRunsAgain) {
    Installation run;
    run.machine.failingCalls["AddPrinterDriverEx"] = 87;
    run.window.answers = {message_box::idRetry};
    run.install(0);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "Failed to add the driver 87\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "exit and abort installation");
    EXPECT_EQ(run.window.messageBoxes[0].caption, "Error");
    EXPECT_EQ(run.window.messageBoxes[0].style, message_box::retryCancel);
    EXPECT_EQ(run.window.installText, "Reinstall");
    EXPECT_TRUE(run.window.installEnabled);
    EXPECT_EQ(run.window.progressHistory.back(), 0);
    EXPECT_TRUE(run.machine.exists(std::string(x86Folder) + "\\RCPT01.DLL"));  // staged files stay

    run.machine.failingCalls.clear();
    run.window.clickInstall();
    EXPECT_EQ(run.machine.logMatching("AddPrinterDriverEx").size(), 2u);
    EXPECT_TRUE(run.finished());
}

TEST(ReceiptEngine, CancelAfterAFailedRegistrationEndsTheDialog) {
    Installation run(Program::SoloSetup);
    run.machine.failingCalls["AddPrinterDriverEx"] = 5;
    run.window.answers = {message_box::idCancel};
    run.install(0);
    ASSERT_TRUE(run.window.waitClosed());
    EXPECT_EQ(run.window.endResult, message_box::idOk);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "Failed to add the driver 5\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "Exit and abort installation");
    EXPECT_FALSE(run.machine.exists("C:\\Ticket"));
}

TEST(ReceiptEngine, APathTooLongForItsBufferStopsWithTheFullPath) {
    Installation run;
    const std::string folder = "C:\\" + std::string(247, 'd');
    run.machine.driverDirectories["Windows NT x86"] = folder;
    run.install(0);
    EXPECT_TRUE(run.machine.logMatching("CopyFile").empty());
    EXPECT_TRUE(run.machine.drivers.empty());
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_NE(run.window.messageBoxes[0].text.find(folder + "\\RCPT01.DLL"), std::string::npos);
    EXPECT_TRUE(run.window.installEnabled);
}

TEST(InstallationTail, InstallingTwiceReplacesThePrinter) {
    Installation run;
    run.install(0);
    run.window.onDialogThread([&] { run.window.installText = "&Install"; });
    run.window.clickInstall();
    EXPECT_TRUE(run.saw("The printer Series R01 exists,Re-adding the printer..."));
    EXPECT_EQ(run.machine.logMatching("SetPrinter 3").size(), 1u);
    // Only the old printer goes; no second printer is created on the way.
    EXPECT_EQ(run.machine.logMatching("DeletePrinter").size(), 1u);
    EXPECT_EQ(run.machine.logMatching("AddPrinter ").size(), 2u);
    EXPECT_EQ(run.machine.printers.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes.size(), 0u) << "a reinstall asks nothing";
    EXPECT_TRUE(run.finished());
}

TEST(InstallationTail, AnUntickedBoxWritesNoDefaultButStillSaysTheStep) {
    Installation run;
    run.prepare();
    run.prepared = true;
    run.window.tickDefaultPrinterBox(false);
    run.install(0);
    EXPECT_FALSE(run.machine.registryValue(RegistryRoot::CurrentUser,
                                           "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"));
    EXPECT_TRUE(run.saw("Set the printer Series R01 to default printer"));
    EXPECT_EQ(run.window.progressHistory, (std::vector<int>{10, 20, 30, 40, 100}));
}

TEST(InstallationTail, AFailedPrinterCreationSaysWhyAndLeavesInstallUsable) {
    struct Case {
        std::uint32_t error;
        std::string text, caption, button;
    };
    for (const Case& c : {Case{1796, "There's no available useful port,please select other type of port", "Prompt", "Reinstall"},
                          Case{126, "Missing system flies,please repair system", "Prompt", "Reinstall"},
                          Case{1801, "Error AddPrinter 1801", "Error prompt", "&Install"}}) {
        Installation run;
        run.machine.failingCalls["AddPrinter"] = c.error;
        run.install(0);
        ASSERT_EQ(run.window.messageBoxes.size(), 1u) << c.error;
        EXPECT_EQ(run.window.messageBoxes[0].text, c.text);
        EXPECT_EQ(run.window.messageBoxes[0].caption, c.caption);
        EXPECT_EQ(run.window.messageBoxes[0].style, message_box::ok);
        EXPECT_EQ(run.window.installText, c.button);
        EXPECT_TRUE(run.window.installEnabled);
        EXPECT_EQ(run.window.progressHistory.back(), 0);
        EXPECT_FALSE(run.saw("The installation is completed."));
        EXPECT_FALSE(run.machine.registryValue(RegistryRoot::CurrentUser,
                                               "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"));
    }
}

TEST(InstallationTail, AFailedDefaultPrinterWriteIsSaidAndTheInstallationGoesOn) {
    Installation run;
    run.machine.setRegistryValue(RegistryRoot::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                 "Other", regSz, "x");
    run.machine.failingCalls["RegSetValueEx Device"] = 5;
    run.install(0);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text, "Error\xA3\xBA" "Failed to set regist\r\n(error 5)");
    EXPECT_EQ(run.window.messageBoxes[0].caption, "multisetup");
    EXPECT_EQ(run.window.messageBoxes[0].style, message_box::ok);
    EXPECT_TRUE(run.saw("The printer Series R01 could not be made the default printer (error 5)"));
    EXPECT_FALSE(run.saw("Set the printer Series R01 to default printer"));
    EXPECT_NE(run.printer("Series R01"), nullptr);
    EXPECT_TRUE(run.finished());
    EXPECT_EQ(run.window.status, "The installation is completed.");
}

// A new profile has no key for the default printer: it is created, as every Windows has it.
TEST(InstallationTail, AMissingDefaultPrinterKeyIsCreated) {
    const std::string windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    Installation run;
    run.machine.removeRegistryKey(RegistryRoot::CurrentUser, windowsKey);
    run.install(0);
    EXPECT_EQ(run.machine.registryValue(RegistryRoot::CurrentUser, windowsKey, "Device"),
              std::string("Series R01,winspool,LPT1:\0", 26));
    EXPECT_TRUE(run.window.messageBoxes.empty());
    EXPECT_TRUE(run.saw("Set the printer Series R01 to default printer"));

    Installation refused;
    refused.machine.removeRegistryKey(RegistryRoot::CurrentUser, windowsKey);
    refused.machine.failingCalls["RegCreateKeyEx"] = 5;
    refused.install(0);
    ASSERT_EQ(refused.window.messageBoxes.size(), 1u);
    EXPECT_EQ(refused.window.messageBoxes[0].text, "Error\xA3\xBA" "Failed to set regist\r\n(error 5)");
    EXPECT_FALSE(refused.saw("Set the printer Series R01 to default printer"));
    EXPECT_TRUE(refused.finished());
}

TEST(InstallationTail, WithoutAPortOfTheChosenKindTheFirstParallelPortIsUsedOnce) {
    for (int kind : {portKindSerial, portKindUsb}) {
        Installation run;
        run.window.answers = {message_box::idCancel};  // no USB port to search: go on
        run.install(0, kind);
        const PrinterRecord* printer = run.printer("Series R01");
        ASSERT_NE(printer, nullptr);
        EXPECT_EQ(printer->portName, "LPT1:");
        EXPECT_EQ(run.machine.logMatching("AddPrinter ").size(), 1u);
        // The user ends on the port the printer really is on.
        EXPECT_EQ(run.window.status, kind == portKindSerial ? "There's no serialport,the current port isLPT1:"
                                                            : "There's no USB port,the current port isLPT1:");
        EXPECT_FALSE(run.saw("The installation is completed."));
        EXPECT_EQ(run.window.progressHistory.back(), 100);
        EXPECT_TRUE(run.finished());
    }
}

TEST(InstallationTail, WithoutAnyUsablePortNothingIsCreated) {
    Installation run;
    run.machine.ports.clear();
    run.install(0, portKindUsb);
    EXPECT_TRUE(run.machine.printers.empty());
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].caption, "Prompt");
    EXPECT_EQ(run.window.installText, "Reinstall");
    EXPECT_TRUE(run.window.installEnabled);
}

TEST(LabelEngine, InstallsTheMonitorTheDriverAndThePrinter) {
    Installation run;
    run.install(firstLabel);
    ASSERT_EQ(run.machine.monitors.size(), 1u);
    EXPECT_EQ(run.machine.monitors[0].name, "Advanced Language Monitor");
    EXPECT_EQ(run.machine.monitors[0].dllName, "C:\\Windows\\system32\\almonNT.dll");
    EXPECT_TRUE(run.machine.exists("C:\\Windows\\system32\\almonNT.dll"));
    const DriverRecord* driver = run.driver(labelDisplayTable()[0]);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->monitorName, "Advanced Language Monitor");
    EXPECT_EQ(driver->driverPath, std::string(x86Folder) + "\\QLBDRV50.DLL");
    EXPECT_EQ(driver->configFile, std::string(x86Folder) + "\\QLBUI50.DLL");
    EXPECT_EQ(driver->helpFile, std::string(x86Folder) + "\\THERMAL.chm");
    const std::string base = labelBaseNameTable()[0];
    EXPECT_EQ(driver->dataFile, std::string(x86Folder) + "\\" + base + ".DAT");
    std::vector<std::string> dependent = names(driver->dependentFiles);
    ASSERT_EQ(dependent.size(), 29u);
    EXPECT_EQ(dependent[0], "\\QLBENG50.DLL");
    EXPECT_EQ(dependent[1], "\\QLBSLO50.DLL");
    EXPECT_EQ(dependent[26], "\\QLBPBR50.DLL");
    EXPECT_EQ(dependent[27], "\\" + base + ".BA0");
    EXPECT_EQ(dependent[28], "\\" + base + ".PP0");
    EXPECT_EQ(driver->dependentFiles.size(), 500u);
    EXPECT_TRUE(run.saw("Advanced Language Monitor is added"));
    EXPECT_FALSE(run.machine.exists(std::string(x86Folder) + "\\QLBDRV50.DLL"));
    EXPECT_FALSE(run.machine.exists(std::string(x86Folder) + "\\THERMAL.chm"));
    EXPECT_EQ(run.machine.logMatching("Sleep 100").size() >= 1u, true);
    EXPECT_TRUE(run.finished());
}

TEST(LabelEngine, SixtyFourBitSystemsPutTheMonitorInSysWow64) {
    Installation run(Program::MultiSetup, true);
    run.install(firstLabel + 4);
    ASSERT_EQ(run.machine.monitors.size(), 1u);
    EXPECT_EQ(run.machine.monitors[0].dllName, "C:\\Windows\\SysWOW64\\almon64.dll");
    EXPECT_EQ(run.machine.monitors[0].environment, "Windows x64");
    const DriverRecord* driver = run.driver(labelDisplayTable()[4]);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(names(driver->dependentFiles)[0], "\\QLBENG56.DLL");
}

TEST(LabelEngine, AnInstalledMonitorIsRemovedAndTheSpoolerRestartedBeforeItIsAdded) {
    Installation run;
    run.install(firstLabel);
    std::size_t stopsBefore = run.machine.logMatching("ControlService Stop").size();
    run.window.onDialogThread([&] { run.window.installText = "&Install"; });
    run.window.clickInstall();
    EXPECT_EQ(run.machine.logMatching("DeleteMonitor").size(), 2u);
    EXPECT_EQ(run.machine.logMatching("ControlService Stop").size(), stopsBefore + 1);
    EXPECT_EQ(run.machine.monitors.size(), 1u);
    EXPECT_TRUE(run.finished());
}

TEST(LabelEngine, AMonitorAlreadyThereCountsAsAdded) {
    Installation run;
    run.machine.monitors.push_back({"Advanced Language Monitor", "Windows NT x86", "C:\\old\\almon.dll"});
    run.machine.failingCalls["DeleteMonitor"] = 5;
    run.install(firstLabel);
    EXPECT_TRUE(run.machine.logMatching("ControlService Stop").empty());
    EXPECT_TRUE(run.saw("Advanced Language Monitor is added"));
    EXPECT_TRUE(run.finished());
}

TEST(LabelEngine, AMonitorThatCannotBeAddedEndsTheDialog) {
    Installation run;
    run.machine.failingCalls["AddMonitor"] = 1798;
    run.install(firstLabel);
    ASSERT_TRUE(run.window.waitClosed());
    EXPECT_EQ(run.window.endResult, message_box::idOk);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "Failed to add Monitor\r\nThe copied monitor DLL C:\\Windows\\system32\\almonNT.dll was removed; there "
              "was none before.");
    EXPECT_EQ(run.window.messageBoxes[0].caption, "multisetup");
    EXPECT_TRUE(run.machine.drivers.empty());
    EXPECT_FALSE(run.machine.exists(monitorDll));
}

// --- the monitor that was there before a broken one -----------------------------------------

std::string contentOf(sim::SimWindows& machine, const std::string& path) {
    std::ifstream in(machine.hostPath(path), std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<absent>");
}

// A good label install before; now a package whose monitor DLL does not load.
struct BrokenMonitor {
    BrokenMonitor() {
        run.machine.monitors.push_back(previous);
        run.machine.writeFile(monitorDll, "good monitor");
        run.machine.unloadableDllContents.insert("almonNT.dll");  // the package's copy
    }
    void install() {
        run.install(firstLabel);
        ASSERT_TRUE(run.window.waitClosed());
        ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    }
    const std::string& said() const { return run.window.messageBoxes[0].text; }

    Installation run;
    const MonitorRecord previous{"Advanced Language Monitor", "Windows NT x86", monitorDll};
};

TEST(LabelEngine, ABrokenMonitorDllLeavesThePreviousMonitorAndDllAsTheyWere) {
    BrokenMonitor broken;
    broken.install();
    EXPECT_EQ(broken.said(),
              "Failed to add Monitor\r\nThe monitor DLL C:\\Windows\\system32\\almonNT.dll that was there before is "
              "back as it was.\r\nThe Advanced Language Monitor installed before is registered again.");
    ASSERT_EQ(broken.run.machine.monitors.size(), 1u);
    EXPECT_EQ(broken.run.machine.monitors[0].name, broken.previous.name);
    EXPECT_EQ(broken.run.machine.monitors[0].environment, broken.previous.environment);
    EXPECT_EQ(broken.run.machine.monitors[0].dllName, broken.previous.dllName);
    EXPECT_EQ(contentOf(broken.run.machine, monitorDll), "good monitor");
    EXPECT_FALSE(broken.run.machine.exists(std::string(monitorDll) + ".previous"));
    EXPECT_TRUE(broken.run.machine.drivers.empty());
    // The old DLL was kept aside until the new monitor had been tried.
    auto log = broken.run.machine.log();
    auto kept = std::find(log.begin(), log.end(),
                          std::string("MoveFile ") + monitorDll + " " + monitorDll + ".previous");
    auto tried = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("AddMonitor", 0) == 0; });
    EXPECT_TRUE(kept < tried);
}

// What could not be restored is named; nothing is said to be back that is not.
TEST(LabelEngine, ARestoreThatFailsTooIsNamed) {
    {
        BrokenMonitor broken;
        broken.run.machine.unloadableDllContents.insert("good monitor");
        broken.install();
        EXPECT_NE(broken.said().find("is back as it was.\r\nThe Advanced Language Monitor installed before could "
                                     "not be registered again (error 193)."),
                  std::string::npos)
            << broken.said();
        EXPECT_TRUE(broken.run.machine.monitors.empty());
        EXPECT_EQ(contentOf(broken.run.machine, monitorDll), "good monitor");
    }
    {
        BrokenMonitor broken;
        broken.run.machine.failingCalls[std::string("MoveFile ") + monitorDll + ".previous"] = 112;
        broken.install();
        EXPECT_NE(broken.said().find("The monitor DLL C:\\Windows\\system32\\almonNT.dll that was there before could "
                                     "not be put back."),
                  std::string::npos)
            << broken.said();
        EXPECT_EQ(broken.said().find("is back"), std::string::npos) << broken.said();
    }
}

// --- every copy is checked against the package before it is registered -----------------------

struct SwappedFileTest : ::testing::TestWithParam<std::tuple<int, const char*, const char*>> {};

TEST_P(SwappedFileTest, IsRefusedNamedAndWhatWasCopiedGoes) {
    const auto [driverIndex, unpacked, copy] = GetParam();
    Installation run;
    run.machine.writeFile(std::string(x86Folder) + "\\TKTPLUG.dll", "plug-in of an earlier driver");
    run.prepare();
    run.prepared = true;
    run.machine.writeFile(unpacked, "a standard user's DLL");
    run.install(driverIndex);

    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    const std::string said = run.window.messageBoxes[0].text;
    EXPECT_EQ(said.rfind(std::string("The installation was stopped: ") + copy + " does not hold the driver package's "
                         "file", 0),
              0u)
        << said;
    EXPECT_EQ(said.find("could not be put back"), std::string::npos) << said;
    EXPECT_TRUE(run.machine.drivers.empty());
    EXPECT_TRUE(run.machine.logMatching("AddPrinterDriverEx").empty());
    EXPECT_TRUE(run.window.installEnabled);
    EXPECT_NE(run.window.status, "The installation is completed.");
    // Nothing of the copies stays; what one replaced is back.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(run.machine.hostPath(x86Folder)))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"TKTPLUG.dll"});
    EXPECT_EQ(contentOf(run.machine, std::string(x86Folder) + "\\TKTPLUG.dll"), "plug-in of an earlier driver");
    EXPECT_FALSE(run.machine.exists(monitorDll) && contentOf(run.machine, monitorDll) == "a standard user's DLL");
}

INSTANTIATE_TEST_SUITE_P(
    ReceiptAndLabel, SwappedFileTest,
    ::testing::Values(
        std::tuple{0, "C:\\Ticket\\x86\\TKTPLUG.dll", "C:\\Windows\\system32\\spool\\drivers\\w32x86\\TKTPLUG.dll"},
        std::tuple{0, "C:\\Ticket\\x86\\uniDRV.DLL", "C:\\Windows\\system32\\spool\\drivers\\w32x86\\uniDRV.DLL"},
        std::tuple{firstLabel, "C:\\Barcode\\x86\\QLBDRV50.DLL",
                   "C:\\Windows\\system32\\spool\\drivers\\w32x86\\QLBDRV50.DLL"},
        std::tuple{firstLabel, "C:\\Barcode\\x86\\almonNT.dll", "C:\\Windows\\system32\\almonNT.dll"}));

TEST(StagedCopies, AReplacedFileThatCannotBePutBackIsNamed) {
    Installation run;
    const std::string plugin = std::string(x86Folder) + "\\TKTPLUG.dll";
    run.machine.writeFile(plugin, "plug-in of an earlier driver");
    run.machine.failingCalls["MoveFile " + plugin + ".previous"] = 112;
    run.prepare();
    run.prepared = true;
    run.machine.writeFile("C:\\Ticket\\x86\\TKR58A.GPD", "swapped");
    run.install(0);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_NE(run.window.messageBoxes[0].text.find("\r\nThese files could not be put back as they were: " + plugin),
              std::string::npos)
        << run.window.messageBoxes[0].text;
    EXPECT_TRUE(run.machine.drivers.empty());
}

TEST(LabelEngine, AFailedRegistrationAsksInAnApplicationBox) {
    Installation run(Program::SoloSetup);
    run.machine.failingCalls["AddPrinterDriverEx"] = 2;
    run.window.answers = {message_box::idRetry};
    run.install(firstLabel);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].caption, "solosetup");
    EXPECT_NE(run.window.messageBoxes[0].text.find("exit and abort"), std::string::npos);
    EXPECT_EQ(run.window.installText, "Reinstall");
}

// Any one spooler, registry or file call failing on a reinstall ends in the box that says
// what went wrong, or in a whole installation: never "completed" with a piece missing.
TEST(InstallFaults, EveryFailingCallEndsWithItsBoxOrAWholeInstallation) {
    struct Case {
        const char* call;
        int driverIndex;
        const char* caption;  // empty: no box, the status line below
        const char* said;
    };
    const Case cases[] = {
        {"AddPrinterDriverEx", 0, "Error", "Failed to add the driver 5\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "exit and abort installation"},
        {"AddMonitor", 0, "", "The installation is completed."},
        {"OpenPrinter", 0, "Error prompt", "Error AddPrinter 1802"},
        {"GetPrinter", 0, "Error", "The printer Series R01 exists, but its settings could not be read (error 5).\r\nIt was left as it was, and no printer was created."},
        {"DeletePrinter", 0, "Error prompt", "Error AddPrinter 1802\r\n\r\nThe printer Series R01 that was there before was kept as it was (port LPT1:, driver Series R01)."},
        {"AddPrinter", 0, "Error prompt", "Error AddPrinter 5\r\n\r\nThe printer Series R01 that was there before (port LPT1:, driver Series R01) was removed and could not be created again (error 5)."},
        {"RegCreateKeyEx", 0, "multisetup", "Error\xA3\xBA" "Failed to set regist\r\n(error 5)"},
        {"RegSetValueEx", 0, "multisetup", "Error\xA3\xBA" "Failed to set regist\r\n(error 5)"},
        {"RegOpenKeyEx", 0, "", "The installation is completed."},
        {"CopyFile", 0, "Error", "The installation was stopped: C:\\Windows\\system32\\spool\\drivers\\w32x86\\RCPT01.DLL does not hold the driver package's file (it could not be copied, or its size or contents differ from the package's, so the unpacked file was changed after unpacking).\r\nWhat was copied has been removed and nothing more was registered. Start the program again."},
        {"AdjustTokenPrivileges", 0, "", "The installation is completed."},
        {"DeleteMonitor", 0, "", "The installation is completed."},
        {"ReadFile", 0, "Error", "The installation was stopped: C:\\Windows\\system32\\spool\\drivers\\w32x86\\RCPT01.DLL does not hold the driver package's file (it could not be copied, or its size or contents differ from the package's, so the unpacked file was changed after unpacking).\r\nWhat was copied has been removed and nothing more was registered. Start the program again."},
        {"AddPrinterDriverEx", 33, "multisetup", "Failed to add the driver 5\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "exit and abort installation"},
        {"AddMonitor", 33, "multisetup", "Failed to add Monitor\r\nThe copied monitor DLL C:\\Windows\\system32\\almonNT.dll was removed; there was none before."},
        {"OpenPrinter", 33, "", "The installation is completed."},
        {"GetPrinter", 33, "", "The installation is completed."},
        {"DeletePrinter", 33, "", "The installation is completed."},
        {"AddPrinter", 33, "Error prompt", "Error AddPrinter 5"},
        {"RegCreateKeyEx", 33, "multisetup", "Error\xA3\xBA" "Failed to set regist\r\n(error 5)"},
        {"RegSetValueEx", 33, "multisetup", "Error\xA3\xBA" "Failed to set regist\r\n(error 5)"},
        {"RegOpenKeyEx", 33, "", "The installation is completed."},
        {"CopyFile", 33, "Error", "The installation was stopped: C:\\Windows\\system32\\almonNT.dll does not hold the driver package's file (it could not be copied, or its size or contents differ from the package's, so the unpacked file was changed after unpacking).\r\nWhat was copied has been removed and nothing more was registered. Start the program again."},
        {"AdjustTokenPrivileges", 33, "", "The installation is completed."},
        {"DeleteMonitor", 33, "", "The installation is completed."},
        {"ReadFile", 33, "Error", "The installation was stopped: C:\\Windows\\system32\\almonNT.dll does not hold the driver package's file (it could not be copied, or its size or contents differ from the package's, so the unpacked file was changed after unpacking).\r\nWhat was copied has been removed and nothing more was registered. Start the program again."},
    };
    for (const Case& c : cases) {
        Installation run;
        run.install(0);  // one installation first, so that a printer and a monitor exist
        run.window.onDialogThread([&] { run.window.installText = "&Install"; });
        run.machine.failingCalls[c.call] = 5;
        run.window.answers = {message_box::idRetry};
        run.window.chooseDriver(c.driverIndex);
        std::size_t boxes = run.window.messageBoxes.size();
        run.window.clickInstall();
        const std::string name = c.driverIndex == 0 ? "Series R01" : labelDisplayTable()[0];
        const bool completed = std::string(c.caption).empty();
        if (completed) {
            EXPECT_EQ(run.window.messageBoxes.size(), boxes) << c.call << " " << c.driverIndex;
            EXPECT_EQ(run.window.status, c.said) << c.call << " " << c.driverIndex;
            ASSERT_NE(run.printer(name), nullptr) << c.call;
            EXPECT_NE(run.driver(name), nullptr) << c.call;
        } else {
            ASSERT_EQ(run.window.messageBoxes.size(), boxes + 1) << c.call << " " << c.driverIndex;
            EXPECT_EQ(run.window.messageBoxes.back().caption, c.caption) << c.call << " " << c.driverIndex;
            EXPECT_EQ(run.window.messageBoxes.back().text, c.said) << c.call << " " << c.driverIndex;
            EXPECT_TRUE(run.window.installEnabled || run.window.endResult) << c.call;
        }
    }
}

// --- a printer of the same name that was there before ---------------------------------------

// The user's own printer, with every setting the spooler keeps beyond the new printer's.
PrinterRecord frontDesk(const std::string& name, const std::string& driver) {
    PrinterRecord p{name, "COM2:", driver, "WinPrint", "RAW"};
    p.shareName = "desk";
    p.comment = "Front desk tickets";
    p.location = "Hall";
    p.separatorFile = "C:\\sep.sep";
    p.parameters = "-x";
    p.attributes = 0x48;
    p.priority = 3;
    p.defaultPriority = 2;
    p.startTime = 60;
    p.untilTime = 600;
    return p;
}

// A machine that already has the printer, on its own port and with its own driver.
struct Replacement : Installation {
    Replacement(const std::string& name, const std::string& driver, Program program = Program::MultiSetup)
        : Installation(program), before(frontDesk(name, driver)) {
        machine.ports.push_back({"COM2:", "Local Port", "Local Port", 0});
        DriverRecord own;
        own.version = 3;
        own.name = driver;
        own.environment = "Windows NT x86";
        if (driver != "Series R01") machine.drivers.push_back(own);
        machine.printers.push_back(before);
    }
    PrinterRecord before;
};

TEST(ExistingPrinter, IsKeptAsItWasWhenTheNewOneCannotBeCreated) {
    Replacement run("Series R01", "Old Driver");
    run.machine.failingCalls["AddPrinter Series R01"] = 87;
    run.window.answers = {message_box::idYes};
    run.install(0);
    const std::string kept =
        "The printer Series R01 that was there before was kept as it was (port COM2:, driver Old Driver).";
    EXPECT_EQ(run.machine.printers, std::vector<PrinterRecord>{run.before});
    // It went, and its saved settings brought it back.
    EXPECT_EQ(run.machine.logMatching("DeletePrinter").size(), 1u);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u) << "a printer of the package's name is replaced without a question";
    EXPECT_EQ(run.window.messageBoxes[0].text, "Error AddPrinter 87\r\n\r\n" + kept);
    EXPECT_EQ(run.window.messageBoxes[0].caption, "Error prompt");
    EXPECT_EQ(run.window.status, kept);
    EXPECT_TRUE(run.window.installEnabled);
    EXPECT_EQ(run.window.progressHistory.back(), 0);
    EXPECT_FALSE(run.saw("The installation is completed."));
}

// The spooler refuses the new printer after the old one went: the old one is created again
// with every setting it had.
TEST(ExistingPrinter, IsCreatedAgainWhenTheNewOneFailsAfterItWent) {
    Replacement run("Series R01", "Old Driver");
    run.machine.failingCalls["AddPrinter Series R01"] = 1801;
    run.install(0);
    EXPECT_EQ(run.machine.printers, std::vector<PrinterRecord>{run.before});
    EXPECT_EQ(run.machine.logMatching("DeletePrinter").size(), 1u);
    EXPECT_EQ(run.machine.logMatching("AddPrinter Series R01 COM2: Old Driver").size(), 1u);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "Error AddPrinter 1801\r\n\r\nThe printer Series R01 that was there before was kept as it was "
              "(port COM2:, driver Old Driver).");
}

// The same driver fails for the old printer too: the box names what is lost.
TEST(ExistingPrinter, ThatCannotBeCreatedAgainIsNamedWithItsSettings) {
    Replacement run("Series R01", "Series R01");
    run.machine.failingCalls["AddPrinter Series R01"] = 1796;
    run.install(0);
    const std::string lost = "The printer Series R01 that was there before (port COM2:, driver Series R01) was "
                             "removed and could not be created again (error 1796).";
    EXPECT_TRUE(run.machine.printers.empty());
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "There's no available useful port,please select other type of port\r\n\r\n" + lost);
    EXPECT_EQ(run.window.status, lost);
    EXPECT_EQ(run.window.installText, "Reinstall");
    EXPECT_FALSE(run.finished());
}

TEST(ExistingPrinter, ThatCannotBeDeletedStaysAndIsSaidKept) {
    Replacement run("Series R01", "Series R01");
    run.machine.failingCalls["DeletePrinter"] = 5;
    run.install(0);
    EXPECT_EQ(run.machine.printers, std::vector<PrinterRecord>{run.before});
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "Error AddPrinter 1802\r\n\r\nThe printer Series R01 that was there before was kept as it was "
              "(port COM2:, driver Series R01).");
}

// A printer of another name is never touched by a replacement, whatever its name says.
TEST(ExistingPrinter, APrinterOfAnotherNameIsLeftAlone) {
    Replacement run("Series R01", "Series R01");
    const PrinterRecord other{"Printer check of the driver setup", "LPT1:", "Series R01", "WinPrint", "RAW"};
    run.machine.printers.push_back(other);
    run.install(0);
    ASSERT_EQ(run.machine.printers.size(), 2u);
    EXPECT_EQ(run.machine.printers[0], other);
    EXPECT_EQ(run.machine.printers[1], (PrinterRecord{"Series R01", "LPT1:", "Series R01", "WinPrint", "RAW"}));
    EXPECT_EQ(run.machine.logMatching("DeletePrinter").size(), 1u);
    EXPECT_TRUE(run.finished());
}

TEST(ExistingPrinter, WhoseSettingsCannotBeReadIsLeftAndNothingIsCopied) {
    Replacement run("Series R01", "Series R01");
    run.machine.failingCalls["GetPrinter"] = 5;
    run.install(0);
    EXPECT_EQ(run.machine.printers[0], run.before);
    EXPECT_TRUE(run.machine.logMatching("CopyFile").empty());
    EXPECT_TRUE(run.machine.logMatching("DeletePrinter").empty());
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "The printer Series R01 exists, but its settings could not be read (error 5).\r\nIt was left as it "
              "was, and no printer was created.");
    EXPECT_TRUE(run.window.installEnabled);
}

// The replacing printer has only the settings of a new printer, none of the old one's.
TEST(ExistingPrinter, ReplacedEndsWithExactlyTheNewPrintersSettings) {
    Replacement run("Series R01", "Series R01");
    run.install(0);
    ASSERT_EQ(run.machine.printers.size(), 1u);
    EXPECT_EQ(run.machine.printers[0], (PrinterRecord{"Series R01", "LPT1:", "Series R01", "WinPrint", "RAW"}));
    EXPECT_TRUE(run.finished());
}

// solosetup: a typed name that is another driver's printer.
TEST(ExistingPrinter, OfAnotherDriverIsReplacedOnlyAfterTheUserSaysYes) {
    Replacement run("Front Desk", "Old Driver", Program::SoloSetup);
    run.prepare();
    run.prepared = true;
    run.window.chooseDriver(0);
    run.window.onDialogThread([&] { run.window.printerNameText = "Front Desk"; });
    run.window.choosePortRow(portKindParallel);
    run.window.answers = {message_box::idNo};
    run.window.clickInstall();
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              "A printer named Front Desk is already installed, with the driver Old Driver on the port COM2:.\r\n\r\n"
              "Replace it with a printer of the driver Series R01?\r\n\r\nYes: the printer is deleted and created "
              "again with the new driver.\r\nNo: the printer stays as it is and nothing is installed.");
    EXPECT_EQ(run.window.messageBoxes[0].caption, "Prompt");
    EXPECT_EQ(run.window.messageBoxes[0].style, message_box::yesNo | message_box::iconQuestion);
    EXPECT_EQ(run.machine.printers, std::vector<PrinterRecord>{run.before});
    EXPECT_TRUE(run.machine.logMatching("CopyFile").empty());
    EXPECT_EQ(run.machine.drivers.size(), 1u);
    EXPECT_TRUE(run.window.installEnabled);
    EXPECT_EQ(run.window.installText, "&Install");

    run.window.answers = {message_box::idYes};
    run.window.clickInstall();
    EXPECT_EQ(run.window.messageBoxes.size(), 2u);
    ASSERT_NE(run.printer("Front Desk"), nullptr);
    EXPECT_EQ(run.printer("Front Desk")->driverName, "Series R01");
    EXPECT_EQ(run.printer("Front Desk")->portName, "LPT1:");
    EXPECT_TRUE(run.finished());
}

// The label engine's name is always the package's, in both programs: a printer of that name
// is replaced without a question.
TEST(ExistingPrinter, OfAnotherDriverIsReplacedByTheLabelEngineWithoutAQuestion) {
    for (Program program : {Program::MultiSetup, Program::SoloSetup}) {
        const std::string name = labelDisplayTable()[0];
        Replacement run(name, "Old Driver", program);
        run.install(firstLabel);
        EXPECT_TRUE(run.window.messageBoxes.empty());
        ASSERT_NE(run.printer(name), nullptr);
        EXPECT_EQ(run.printer(name)->driverName, name);
        EXPECT_TRUE(run.saw("The printer " + name + " exists,Re-adding the printer..."));
        EXPECT_TRUE(run.finished());
    }
}

// solosetup asks about a typed name only after the port check: a cancelled port dialog
// asks nothing.
TEST(ExistingPrinter, TheQuestionComesAfterThePortCheck) {
    Replacement run("Front Desk", "Old Driver", Program::SoloSetup);
    run.machine.ports.push_back({"LPT2:", "Local Port", "Local Port", 0});
    run.prepare();
    run.prepared = true;
    run.window.chooseDriver(0);
    run.window.onDialogThread([&] { run.window.printerNameText = "Front Desk"; });
    run.window.choosePortRow(portKindParallel);
    run.window.portDialogScripts = {{sim::PortDialogStep::press(PortDialogCommand::Cancel)}};
    run.window.clickInstall();
    EXPECT_EQ(run.window.portDialogs.size(), 1u);
    EXPECT_TRUE(run.window.messageBoxes.empty()) << "no question before the port is chosen";
    EXPECT_EQ(run.machine.printers, std::vector<PrinterRecord>{run.before});

    run.window.portDialogScripts = {{sim::PortDialogStep::select(1), sim::PortDialogStep::press(PortDialogCommand::Ok)}};
    run.window.answers = {message_box::idYes};
    run.window.clickInstall();
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].caption, "Prompt");
    EXPECT_EQ(run.window.portDialogs.size(), 2u);
    ASSERT_NE(run.printer("Front Desk"), nullptr);
    EXPECT_EQ(run.printer("Front Desk")->portName, "LPT2:");
}

// The calls of the log from the first one that begins with `from`, in order.
std::vector<std::string> logFrom(const sim::SimWindows& machine, const std::string& from) {
    std::vector<std::string> log = machine.log();
    auto first = std::find_if(log.begin(), log.end(), [&](const std::string& e) { return e.rfind(from, 0) == 0; });
    return {first, log.end()};
}

// The calls that begin with `prefix` among `entries`.
std::vector<std::string> matching(const std::vector<std::string>& entries, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& e : entries)
        if (e.rfind(prefix, 0) == 0) found.push_back(e);
    return found;
}

// The position of the last call that begins with `prefix` before the first `before`.
std::ptrdiff_t lastBefore(const std::vector<std::string>& log, const std::string& prefix, const std::string& before) {
    std::ptrdiff_t last = -1;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind(before, 0) == 0) return last;
        if (log[i].rfind(prefix, 0) == 0) last = static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

std::ptrdiff_t firstOf(const std::vector<std::string>& log, const std::string& prefix) {
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i].rfind(prefix, 0) == 0) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

TEST(LabelEngine, ProgressTheOrderOfTheDeletionsAndTheFinishingPause) {
    Installation run;
    run.install(firstLabel);
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.window.progressHistory, (std::vector<int>{10, 20, 30, 40, 100}));

    // The help file and the data files first, .BA0 before .PP0 before .DAT, then the file list.
    const LabelModel model = *labelLookup(firstLabel, false);
    std::vector<std::string> expected;
    for (const std::string& name : {std::string("THERMAL.chm"), model.dataFile(".BA0"), model.dataFile(".PP0"),
                                    model.dataFile(".DAT")})
        expected.push_back("DeleteFile " + std::string(x86Folder) + "\\" + name);
    for (const char* file : model.files) expected.push_back("DeleteFile " + std::string(x86Folder) + "\\" + file);
    EXPECT_EQ(run.machine.logMatching("DeleteFile " + std::string(x86Folder)), expected);

    // After the printer exists, the one pause is the label engine's 100 ms.
    EXPECT_EQ(matching(logFrom(run.machine, "AddPrinter "), "Sleep"), (std::vector<std::string>{"Sleep 100"}));
}

TEST(InstallationTail, TheReceiptEnginePausesHalfASecondBeforeTheLastStep) {
    Installation run;
    run.install(0);
    EXPECT_EQ(matching(logFrom(run.machine, "AddPrinter "), "Sleep"), (std::vector<std::string>{"Sleep 500"}));
}

// The spooler is made sure to run right before the driver is registered (receipt) and
// right before an old monitor is removed (label): it may have stopped since preparation.
TEST(DriverRegistration, TheSpoolerIsStartedIfStoppedRightBeforeItIsAsked) {
    Installation receipt;
    receipt.install(0);
    std::vector<std::string> log = receipt.machine.log();
    std::ptrdiff_t registration = firstOf(log, "AddPrinterDriverEx");
    ASSERT_GE(registration, 0);
    EXPECT_GT(lastBefore(log, "OpenService Spooler", "AddPrinterDriverEx"), lastBefore(log, "CopyFile", "AddPrinterDriverEx"));
    EXPECT_GT(lastBefore(log, "QueryServiceStatus", "AddPrinterDriverEx"), lastBefore(log, "CopyFile", "AddPrinterDriverEx"));

    Installation label;
    label.machine.services["Spooler"].state = ServiceState::Running;
    label.install(firstLabel);
    log = label.machine.log();
    ASSERT_GE(firstOf(log, "DeleteMonitor"), 0);
    EXPECT_GT(lastBefore(log, "QueryServiceStatus", "DeleteMonitor"), lastBefore(log, "CopyFile", "DeleteMonitor"));
    EXPECT_GT(lastBefore(log, "OpenService Spooler", "DeleteMonitor"), lastBefore(log, "CopyFile", "DeleteMonitor"));
}

TEST(DriverRegistration, ASpoolerStoppedSincePreparationIsStartedAgain) {
    for (int driverIndex : {0, firstLabel}) {
        Installation run;
        run.prepare();
        run.prepared = true;
        run.machine.services["Spooler"].state = ServiceState::Stopped;
        run.install(driverIndex);
        EXPECT_TRUE(run.finished()) << driverIndex;
        EXPECT_GE(firstOf(logFrom(run.machine, "GetPrinterDriverDirectory"), "StartService"), 0) << driverIndex;
    }
}

TEST(InstallationTail, EveryPrinterHandleIsClosed) {
    for (int driverIndex : {0, firstLabel}) {
        Installation run;
        run.install(driverIndex);
        ASSERT_TRUE(run.finished());
        EXPECT_EQ(run.machine.openHandles(), 0) << "first install, driver " << driverIndex;
        run.window.onDialogThread([&] { run.window.installText = "&Install"; });
        run.window.clickInstall();  // replaces the printer it made
        ASSERT_TRUE(run.finished());
        EXPECT_EQ(run.machine.openHandles(), 0) << "second install, driver " << driverIndex;
    }
}

// Each way the tail ends with a printer of the same name there before: every printer handle
// it opened or created is closed, once.
TEST(InstallationTail, EveryHandleIsClosedOnceWhicheverWayTheReplacementEnds) {
    struct Case {
        const char* name;
        const char* driverBefore;
        std::map<std::string, std::uint32_t> failing;
        // The old printer opened to read it before the copies and again in the tail, to delete
        // it, the new one created, the old one created again.
        std::size_t printerCloses;
    };
    const std::vector<Case> cases{
        {.name = "replaced", .driverBefore = "Old Driver", .failing = {}, .printerCloses = 4},
        {.name = "put back", .driverBefore = "Old Driver", .failing = {{"AddPrinter Series R01", 1801}}, .printerCloses = 4},
        {.name = "not put back", .driverBefore = "Series R01", .failing = {{"AddPrinter Series R01", 1796}}, .printerCloses = 3},
        {.name = "not deleted", .driverBefore = "Series R01", .failing = {{"DeletePrinter", 5}}, .printerCloses = 3},
        {.name = "unreadable", .driverBefore = "Series R01", .failing = {{"GetPrinter", 5}}, .printerCloses = 1},
        {.name = "no default", .driverBefore = "Series R01", .failing = {{"RegSetValueEx Device", 5}}, .printerCloses = 4},
    };
    for (const Case& c : cases) {
        Replacement run("Series R01", c.driverBefore);
        run.machine.failingCalls = c.failing;
        run.window.answers = {message_box::idYes};
        run.install(0);
        EXPECT_EQ(run.machine.logMatching("ClosePrinter").size(), c.printerCloses) << c.name;
        EXPECT_EQ(run.machine.openHandles(), 0) << c.name;
    }
}

// With no port of the chosen kind and no parallel port either nothing can be created: the
// printer of that name the machine had stays as it was.
TEST(InstallationTail, WithoutAnyUsablePortAnExistingPrinterIsKept) {
    Installation run;
    DriverRecord other;
    other.version = 3;
    other.name = "Other driver";
    other.environment = "Windows NT x86";
    run.machine.drivers.push_back(other);
    Result<Handle> existing = run.machine.addPrinter(PrinterRecord{"Series R01", "LPT1:", "Other driver", "WinPrint", "RAW"});
    ASSERT_TRUE(existing);
    run.machine.closePrinter(*existing);
    run.machine.ports.clear();
    run.install(0, portKindUsb);
    const PrinterRecord* printer = run.printer("Series R01");
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->portName, "LPT1:");
    EXPECT_EQ(printer->driverName, "Other driver");
    EXPECT_TRUE(run.machine.logMatching("DeletePrinter").empty());
    EXPECT_FALSE(run.saw("The printer Series R01 exists,Re-adding the printer..."));
    EXPECT_EQ(run.window.installText, "Reinstall");
}

// The default printer names the port the printer was created on, the parallel one when the
// chosen kind had none, never the empty chosen port.
TEST(InstallationTail, TheDefaultPrinterNamesThePortThePrinterIsOn) {
    for (int kind : {portKindSerial, portKindUsb}) {
        Installation run;
        run.window.answers = {message_box::idCancel};
        run.install(0, kind);
        EXPECT_EQ(run.machine.registryValue(RegistryRoot::CurrentUser,
                                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"),
                  std::string("Series R01,winspool,LPT1:\0", 26))
            << kind;
    }
}

// A driver folder whose longest staged path just fits its buffer (with the terminating NUL)
// installs; one byte more stops before anything is copied.
TEST(DriverRegistration, PathsAreCheckedAgainstTheirBuffersToTheByte) {
    struct Case {
        int driverIndex;
        std::size_t buffer;
        std::size_t longestName;
    };
    std::size_t longestLabel = std::string("THERMAL.chm").size();
    const LabelModel model = *labelLookup(firstLabel, false);
    for (const char* file : model.files) longestLabel = std::max(longestLabel, std::string(file).size());
    for (const char* extension : {".BA0", ".DAT", ".PP0"})
        longestLabel = std::max(longestLabel, model.dataFile(extension).size());
    for (const Case& c : {Case{0, 260, std::string("STDNAMES.GPD").size()}, Case{firstLabel, 200, longestLabel}}) {
        for (std::size_t pathLength : {c.buffer - 1, c.buffer}) {
            Installation run;
            // "C:\" + padding + "\" + the longest name is pathLength bytes long.
            const std::string folder = "C:\\" + std::string(pathLength - c.longestName - 4, 'd');
            run.machine.driverDirectories["Windows NT x86"] = folder;
            run.install(c.driverIndex);
            const bool fits = pathLength < c.buffer;
            EXPECT_EQ(run.finished(), fits) << c.buffer << " " << pathLength;
            EXPECT_EQ(run.machine.logMatching("CopyFile").empty(), !fits) << c.buffer << " " << pathLength;
        }
    }
}

}  // namespace

}  // namespace setup::test

namespace setup::test {

namespace {

// --- a driver file the package does not have ------------------------------------------------

TEST(MissingPackageFile, GivesTheFailedRegistrationsBoxWithError2AndCopiesNothing) {
    struct Case {
        int driverIndex;
        std::string source, caption;
    };
    for (const Case& c : {Case{0, "C:\\Ticket\\x86\\TKR58A.GPD", "Error"},
                          Case{firstLabel, "C:\\Barcode\\x86\\QLBDRV50.DLL", "multisetup"},
                          Case{firstLabel, "C:\\Barcode\\x86\\almonNT.dll", "multisetup"}}) {
        Installation run;
        run.prepare();
        run.prepared = true;
        std::string key = c.source;
        for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        run.window.onDialogThread([&] { run.desktop.dialog.values.packageFiles.erase(key); });
        run.window.answers = {message_box::idRetry};
        run.install(c.driverIndex);
        ASSERT_EQ(run.window.messageBoxes.size(), 1u) << c.source;
        EXPECT_EQ(run.window.messageBoxes[0].text,
                  "Failed to add the driver 2\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "exit and abort installation");
        EXPECT_EQ(run.window.messageBoxes[0].caption, c.caption);
        EXPECT_EQ(run.window.messageBoxes[0].style, message_box::retryCancel);
        EXPECT_TRUE(run.saw("The driver package has no file " + c.source));
        EXPECT_TRUE(run.machine.logMatching("CopyFile").empty()) << c.source;
        EXPECT_TRUE(run.machine.logMatching("AddMonitor").empty()) << c.source;
        EXPECT_TRUE(run.machine.drivers.empty());
        EXPECT_EQ(run.window.installText, "Reinstall");
        EXPECT_TRUE(run.window.installEnabled);
    }
}

// --- what a run ended from outside moved aside -------------------------------------------------

struct Notes : RunNotes {
    std::vector<std::string> lines;
    void note(const std::string& text) override { lines.push_back(text); }
};

// A killed run had moved the earlier plug-in and monitor DLL aside and copied the package's
// over them; a file of another program ending in ".previous" is not ours.
struct KilledRun : Installation {
    KilledRun() {
        machine.writeFile(plugin, "plug-in the killed run copied");
        machine.writeFile(plugin + ".previous", "earlier plug-in");
        machine.writeFile(monitorDll, "monitor the killed run copied");
        machine.writeFile(std::string(monitorDll) + ".previous", "earlier monitor");
        machine.writeFile(std::string(x86Folder) + "\\UNIRES.DLL", "same");
        machine.writeFile(std::string(x86Folder) + "\\UNIRES.DLL.previous", "same");
        machine.writeFile(std::string(x86Folder) + "\\other.dll.previous", "another program's");
    }
    bool putBack() {
        bool ok = false;
        window.onDialogThread([&] {
            DialogContext& c = desktop.dialog.context();
            DialogContext withNotes{c.platform, c.config, c.window, c.values, c.calls, notes};
            ok = putBackKeptFiles(withNotes, x86Folder);
        });
        return ok;
    }
    const std::string plugin = std::string(x86Folder) + "\\TKTPLUG.dll";
    Notes notes;
};

TEST(KeptFiles, AreEachPutBackOrRemovedAndTheLogSaysSo) {
    KilledRun run;
    run.prepare();
    ASSERT_TRUE(run.putBack());
    EXPECT_EQ(contentOf(run.machine, run.plugin), "earlier plug-in");
    EXPECT_EQ(contentOf(run.machine, monitorDll), "earlier monitor");
    EXPECT_EQ(contentOf(run.machine, std::string(x86Folder) + "\\UNIRES.DLL"), "same");
    EXPECT_FALSE(run.machine.exists(run.plugin + ".previous"));
    EXPECT_FALSE(run.machine.exists(std::string(monitorDll) + ".previous"));
    EXPECT_FALSE(run.machine.exists(std::string(x86Folder) + "\\UNIRES.DLL.previous"));
    EXPECT_EQ(contentOf(run.machine, std::string(x86Folder) + "\\other.dll.previous"), "another program's");
    std::vector<std::string> lines = run.notes.lines;
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         std::string(monitorDll) + ".previous, kept aside by an installation that was ended before it "
                         "finished, was put back as " + monitorDll + ".",
                         std::string(x86Folder) + "\\TKTPLUG.dll.previous, kept aside by an installation that was ended "
                         "before it finished, was put back as " + run.plugin + ".",
                         std::string(x86Folder) + "\\UNIRES.DLL.previous, kept aside by an installation that was ended "
                         "before it finished, was removed: " + x86Folder + "\\UNIRES.DLL holds the same bytes."}));
}

// The next installation starts by putting them back, so that what it moves aside is what the
// machine had; it ends with none left.
TEST(KeptFiles, TheNextInstallationPutsThemBackBeforeItCopies) {
    for (int driverIndex : {0, firstLabel}) {
        KilledRun run;
        run.install(driverIndex);
        ASSERT_TRUE(run.finished()) << driverIndex;
        EXPECT_FALSE(run.machine.exists(run.plugin + ".previous"));
        EXPECT_FALSE(run.machine.exists(std::string(monitorDll) + ".previous"));
        std::vector<std::string> log = run.machine.log();
        EXPECT_LT(firstOf(log, "MoveFile " + run.plugin + ".previous " + run.plugin), firstOf(log, "CopyFile"));
        if (driverIndex == 0) EXPECT_EQ(contentOf(run.machine, monitorDll), "earlier monitor");
    }
}

TEST(KeptFiles, OneThatCannotBePutBackStopsBeforeAnythingIsCopied) {
    KilledRun run;
    run.machine.failingCalls["MoveFile " + run.plugin] = 5;
    run.install(0);
    ASSERT_EQ(run.window.messageBoxes.size(), 1u);
    EXPECT_EQ(run.window.messageBoxes[0].text,
              run.plugin + ".previous, kept aside by an installation that was ended before it finished, could not be "
              "put back as " + run.plugin + ".\r\nNothing was installed. Put it back by hand and start the program again.");
    EXPECT_TRUE(run.machine.logMatching("CopyFile").empty());
    EXPECT_EQ(contentOf(run.machine, run.plugin + ".previous"), "earlier plug-in");
    EXPECT_TRUE(run.window.installEnabled);
}

}  // namespace

}  // namespace setup::test
