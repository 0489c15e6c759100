#include <gtest/gtest.h>

#include "install/installation_tail.h"
#include "ports/port_auto_selection.h"
#include "ports/serial_search.h"
#include "ports/port_registry.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Timers = std::vector<std::pair<std::uintptr_t, std::uint32_t>>;

constexpr const char* portsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const std::string onlineKey =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers\\";
const Bytes receiptQuery{0x10, 0x04, 0x01};
const Bytes labelQuery{0x1B, 0x21, 0x3F};

// A machine with the main dialog prepared on it, and the printer the installation tail has
// just created; the test then runs a port search on the dialog's thread.
struct PortSearch {
    explicit PortSearch(Program program = Program::MultiSetup) : desktop(program) {
        DriverRecord driver;
        driver.version = 3;
        driver.name = "Thermal Driver";
        driver.environment = "Windows NT x86";
        machine.drivers.push_back(driver);
        machine.setRegistryValue(RegistryRoot::LocalMachine, portsKey, "COM1:", regSz, std::string("9600,n,8,1") + '\0');
    }

    Desktop desktop;
    sim::SimWindows& machine = desktop.machine;
    sim::SimMainWindow& window = desktop.window;
    std::size_t statusMark = 0, progressMark = 0, timerMark = 0, logMark = 0;

    void serialPorts(const std::vector<std::string>& coms) {
        for (std::size_t i = 0; i < coms.size(); ++i) {
            machine.addSerialPort("\\Device\\Serial" + std::to_string(i), coms[i]);
            machine.serial.attach(coms[i], {});
        }
    }
    void usbPorts(int count) {
        for (int i = 1; i <= count; ++i) machine.ports.push_back({"USB00" + std::to_string(i), "USB Monitor", "Virtual printer port for USB", 0});
    }
    void answering(const std::string& com) { machine.serial.attach(com, sim::SimSerialDevice::answering(Bytes{0x12}, 20)); }
    void addPrinter(const std::string& name, const std::string& port) {
        if (std::none_of(machine.ports.begin(), machine.ports.end(), [&](const PortInfo& p) { return p.name == port; }))
            machine.ports.push_back({port, "Local Port", "Local Port", 0});
        Result<Handle> printer = machine.addPrinter(PrinterRecord{name, port, "Thermal Driver", "WinPrint", "RAW"});
        ASSERT_TRUE(printer);
        machine.closePrinter(*printer);
    }
    // Opens the dialog, lets preparation list the ports, and marks what was shown so far.
    void open() {
        desktop.openAndPrepare();
        window.onDialogThread([&] {
            statusMark = window.statusHistory.size();
            progressMark = window.progressHistory.size();
            timerMark = window.timersSet.size();
        });
        logMark = machine.log().size();
    }
    void run(const std::function<void(DialogContext&)>& operation) {
        window.onDialogThread([&] { operation(desktop.dialog.context()); });
    }
    void searchSerial(const std::string& printer = "Receipt") {
        run([&](DialogContext& context) { context.values.serialSearch->start(context, printer); });
        ASSERT_TRUE(window.waitFor(
            [&] { return window.installText == "&Finish" && !window.progressHistory.empty() && window.progressHistory.back() == 100; },
            std::chrono::seconds(10)))
            << "the serial search did not finish";
    }
    void searchUsb(const std::string& printer = "Receipt") {
        run([&](DialogContext& context) { selectUsbPort(context, printer); });
    }

    std::vector<std::string> statuses() {
        return {window.statusHistory.begin() + static_cast<long>(statusMark), window.statusHistory.end()};
    }
    std::vector<int> progress() {
        return {window.progressHistory.begin() + static_cast<long>(progressMark), window.progressHistory.end()};
    }
    Timers timers() { return {window.timersSet.begin() + static_cast<long>(timerMark), window.timersSet.end()}; }
    std::vector<std::string> logSince(const std::string& prefix) {
        std::vector<std::string> log = machine.log(), matching;
        for (std::size_t i = logMark; i < log.size(); ++i)
            if (log[i].rfind(prefix, 0) == 0) matching.push_back(log[i]);
        return matching;
    }
    int spoolerRestarts() { return static_cast<int>(logSince("ControlService Stop").size()); }
    std::string portOf(const std::string& printer) {
        for (const PrinterRecord& p : machine.printers)
            if (p.printerName == printer) return p.portName;
        return "(no printer)";
    }
    std::optional<std::string> portSettings(const std::string& port) {
        return machine.registryValue(RegistryRoot::LocalMachine, portsKey, port);
    }
    std::optional<std::string> printerKeyPort(const std::string& printer) {
        return machine.registryValue(RegistryRoot::LocalMachine, sim::SimWindows::printerKey(printer), "Port");
    }
    std::vector<Bytes> written(const std::string& com) { return machine.serial.device(com).written; }
};

std::string text(const std::string& value) {
    return value + '\0';
}

// --- serial ------------------------------------------------------------------------------------

// The dialog hands each received byte to the search: only one of the port being probed counts.
TEST(SerialPortSearch, OnlyAByteOfThePortBeingProbedCountsAsTheAnswer) {
    PortSearch search;
    // COM1 does not open: the probe is on COM2 as soon as the search starts.
    search.machine.addSerialPort("\\Device\\Serial0", "COM1");
    search.machine.addSerialPort("\\Device\\Serial1", "COM2");
    search.machine.serial.attach("COM2", {});
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.run([&](DialogContext& context) {
        context.values.serialSearch->start(context, "Receipt");
        search.desktop.dialog.onSerialByte(0x12, 1);  // late, from the port probed before
        EXPECT_FALSE(context.values.serialSearch->answered());
        search.desktop.dialog.onSerialByte(0x12, 2);
        EXPECT_TRUE(context.values.serialSearch->answered());
    });
    ASSERT_TRUE(search.window.waitFor([&] { return search.window.installText == "&Finish"; }, std::chrono::seconds(10)));
    EXPECT_EQ(search.portOf("Receipt"), "COM2:");
}

TEST(SerialPortSearch, ThreePortsWithThePrinterOnTheSecond) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2", "COM3"});
    search.answering("COM2");
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();

    EXPECT_EQ(search.window.promptPreselections, (std::vector<int>{5})) << "the prompt opens on 19200";
    EXPECT_EQ(search.statuses(), (std::vector<std::string>{"Checking COM1:", "Checking COM2:",
                                                           "The available printer port:  COM2:"}));
    EXPECT_EQ(search.timers(), (Timers{{1, 700}, {1, 700}}));
    EXPECT_EQ(search.window.timersKilled.back(), 1u);
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 60, 100, 80, 90, 100}));
    EXPECT_EQ(search.written("COM1"), std::vector<Bytes>{receiptQuery});
    EXPECT_EQ(search.written("COM2"), std::vector<Bytes>{receiptQuery});
    EXPECT_EQ(search.machine.serial.device("COM3").opens, 0);
    EXPECT_EQ(search.portSettings("COM2:"), text("19200,n,8,1"));
    EXPECT_EQ(search.portOf("Receipt"), "COM2:");
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("COM2:"));
    EXPECT_EQ(search.spoolerRestarts(), 2) << "once after parking, once at the end";
    EXPECT_EQ(search.window.installText, "&Finish");
    EXPECT_TRUE(search.window.installEnabled);
    EXPECT_EQ(search.machine.serial.openObjects(), 0) << "the line was closed";
}

// A printer stuck sending (a print loop at 115200 baud) is still the one that answered: the
// search ends on its port with the line closed, and the dialog heard of the stream once.
TEST(SerialPortSearch, ADeviceThatNeverStopsSendingIsFoundAndTheLineCloses) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2"});
    sim::SimSerialDevice streaming;
    streaming.streamBytesPerSecond = 11520;
    search.machine.serial.attach("COM2", streaming);
    search.machine.serial.endWaitsByThemselves(true);
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();

    EXPECT_EQ(search.statuses().back(), "The available printer port:  COM2:");
    EXPECT_EQ(search.portOf("Receipt"), "COM2:");
    EXPECT_EQ(search.machine.serial.openObjects(), 0) << "the line was closed";
    std::vector<sim::SimSerialMessage> seen;
    search.window.onDialogThread([&] { seen = search.window.serialMessages; });
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto& m) { return m.message == 0x407u; }), 1);
    EXPECT_GT(search.machine.serial.device("COM2").bytesRead, 4000u) << "700 ms of the stream were read";
    EXPECT_EQ(search.machine.serial.device("COM2").bytesOverrun, 0u);
}

// Printers on other COM ports wait on LPT1: during the search and get their ports back; the
// printer being installed keeps the port that answered.
TEST(SerialPortSearch, OtherComPrintersAreParkedAndRestored) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2", "COM3"});
    search.answering("COM2");
    search.addPrinter("Receipt", "COM1:");
    search.addPrinter("Other", "COM3:");
    search.addPrinter("Paper", "LPT2:");
    search.open();
    search.run([&](DialogContext& context) { context.values.serialSearch->start(context, "Receipt"); });
    // While the first port is probed every COM printer is on LPT1:.
    EXPECT_EQ(search.portOf("Other"), "LPT1:");
    EXPECT_EQ(search.portOf("Receipt"), "LPT1:");
    ASSERT_TRUE(search.window.waitFor([&] { return search.window.installText == "&Finish"; }));
    search.window.onDialogThread([] {});

    EXPECT_EQ(search.portOf("Other"), "COM3:");
    EXPECT_EQ(search.portOf("Paper"), "LPT2:");
    EXPECT_EQ(search.portOf("Receipt"), "COM2:");
    EXPECT_TRUE(search.logSince("RegOpenKeyEx Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Paper").empty());
}

TEST(SerialPortSearch, APortInUseIsSkippedWithinOneMillisecondTick) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2", "COM3"});
    sim::SimSerialDevice busy;
    busy.busy = true;
    search.machine.serial.attach("COM2", busy);
    search.answering("COM3");
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();
    EXPECT_EQ(search.timers(), (Timers{{1, 700}, {1, 1}, {1, 700}}));
    EXPECT_EQ(search.statuses(), (std::vector<std::string>{"Checking COM1:", "Checking COM2:", "Checking COM3:",
                                                           "The available printer port:  COM3:"}));
    EXPECT_EQ(search.portOf("Receipt"), "COM3:");
}

// "&No", and the answers that name no baud rate (Enter on the list, Escape, the close box).
TEST(SerialPortSearch, NoTouchesNothing) {
    for (auto how : {sim::SimPromptAnswer::No, sim::SimPromptAnswer::Enter, sim::SimPromptAnswer::Escape,
                     sim::SimPromptAnswer::CloseBox}) {
        PortSearch search;
        search.serialPorts({"COM1", "COM2"});
        search.answering("COM2");
        search.addPrinter("Receipt", "COM1:");
        search.addPrinter("Other", "COM2:");
        search.open();
        search.window.promptAnswers.push_back({how});
        search.searchSerial();
        EXPECT_EQ(search.statuses(), (std::vector<std::string>{
                                         "The current printer port is COM1: ,you can set that after the installation finished"}))
            << how;
        EXPECT_EQ(search.progress(), (std::vector<int>{50, 100}));
        EXPECT_TRUE(search.logSince("RegSetValueEx").empty());
        EXPECT_EQ(search.spoolerRestarts(), 0);
        EXPECT_EQ(search.machine.serial.device("COM1").opens + search.machine.serial.device("COM2").opens, 0);
        EXPECT_EQ(search.portOf("Other"), "COM2:");
    }
}

TEST(SerialPortSearch, TheOnlySerialPortIsTakenWithoutPromptOrProbe) {
    PortSearch search;
    search.serialPorts({"COM1"});
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();
    EXPECT_TRUE(search.window.promptPreselections.empty());
    EXPECT_EQ(search.machine.serial.device("COM1").opens, 0);
    EXPECT_EQ(search.statuses(),
              (std::vector<std::string>{"The current printer port is COM1:,you can configure after finished"}));
    EXPECT_EQ(search.portSettings("COM1:"), text("19200,n,8,1")) << "the rate the prompt would have offered";
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 90, 100}));
    EXPECT_EQ(search.portOf("Receipt"), "COM1:");
}

TEST(SerialPortSearch, LabelAndReceiptDriversSendTheirOwnQuery) {
    for (int driverIndex : {32, 33}) {
        PortSearch search;
        search.serialPorts({"COM1", "COM2"});
        search.answering("COM1");
        search.addPrinter("Printer", "COM1:");
        search.open();
        search.run([&](DialogContext& context) { context.values.driverIndex = driverIndex; });
        search.searchSerial("Printer");
        EXPECT_EQ(search.written("COM1"), std::vector<Bytes>{driverIndex < 33 ? receiptQuery : labelQuery});
    }
}

TEST(SerialPortSearch, Com12IsProbedAsPort12AndTheBaudRateComesFromThePrompt) {
    PortSearch search;
    search.serialPorts({"COM12", "COM1"});
    search.answering("COM12");
    search.addPrinter("Receipt", "COM12:");
    search.open();
    search.window.promptAnswers.push_back({sim::SimPromptAnswer::Yes, 8});
    search.searchSerial();
    EXPECT_EQ(search.machine.serial.device("COM12").definitions,
              (std::vector<std::string>{"baud=115200 parity=N data=8 stop=1"}));
    EXPECT_EQ(search.portSettings("COM12:"), text("115200,n,8,1"));
    ASSERT_FALSE(search.window.serialMessages.empty());
    EXPECT_EQ(search.window.serialMessages[0].lParam, 12);
}

TEST(SerialPortSearch, SilentPortsEndWithThePrintersBackOnTheirPorts) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2"});
    search.addPrinter("Receipt", "COM1:");
    search.addPrinter("Other", "COM2:");
    search.open();
    search.searchSerial();
    EXPECT_EQ(search.statuses().back(), "Cannot select a available port\xA1\xA3"
                                        "The current printer port is COM1:,you can configure after finished");
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 60, 100, 80, 90, 100}));
    EXPECT_EQ(search.portOf("Receipt"), "COM1:");
    EXPECT_EQ(search.portOf("Other"), "COM2:");
    EXPECT_FALSE(search.portSettings("COM2:"));
}

TEST(SerialPortSearch, NoPortThatOpensEndsTheSearchAtOnce) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2"});
    sim::SimSerialDevice busy;
    busy.busy = true;
    search.machine.serial.attach("COM1", busy);
    search.machine.serial.attach("COM2", busy);
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();
    EXPECT_EQ(search.statuses().back(), "Cannot select a available port.The current printer port is COM1:,you can "
                                        "configure after finished");
    EXPECT_TRUE(search.timers().empty());
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 60, 90, 100}));
}

TEST(SerialPortSearch, ADeviceThatVanishesIsPassedOver) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2"});
    sim::SimSerialDevice vanishing;
    vanishing.vanishAfterWrite = true;
    search.machine.serial.attach("COM1", vanishing);
    search.answering("COM2");
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();
    EXPECT_EQ(search.portOf("Receipt"), "COM2:");
    EXPECT_TRUE(search.machine.serial.errorBoxes().empty());
}

// The tail created a serial printer on a parallel port because there is no serial port: the
// search ends with the status line naming that port.
TEST(SerialPortSearch, NoSerialPortKeepsTheTailsStatus) {
    PortSearch search;
    search.addPrinter("Receipt", "LPT1:");
    search.open();
    search.run([&](DialogContext& context) {
        context.values.portKind = portKindSerial;
        context.values.portsFound = false;
        context.values.setDefaultPrinter = 0;
        context.values.ports.parallel = {"LPT1:"};
        finishInstallation(context, "Receipt", "Thermal Driver", receiptFinishPauseMs);
    });
    EXPECT_EQ(search.window.status, "There's no serialport,the current port isLPT1:");
    EXPECT_TRUE(search.window.promptPreselections.empty());
    EXPECT_EQ(search.spoolerRestarts(), 0);
    EXPECT_EQ(search.portOf("Receipt"), "LPT1:");
    EXPECT_EQ(search.window.installText, "&Finish");
    EXPECT_EQ(search.progress().back(), 100);
}

TEST(SerialPortSearch, ClosingTheDialogWhileAProbeRunsEndsIt) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2"});
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.run([&](DialogContext& context) { context.values.serialSearch->start(context, "Receipt"); });
    search.window.clickCloseBox();
    ASSERT_TRUE(search.window.waitClosed(std::chrono::seconds(5)));
    search.desktop.opened = false;
    EXPECT_EQ(search.window.timersKilled.back(), 1u);
    EXPECT_EQ(search.machine.serial.openObjects(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(search.machine.serial.device("COM2").opens, 0) << "no tick after the end";
}

TEST(SerialPortSearch, SoloSetupShowsThePromptButDoesNotSearch) {
    PortSearch search(Program::SoloSetup);
    search.serialPorts({"COM1", "COM2"});
    search.answering("COM2");
    search.addPrinter("Receipt", "COM1:");
    search.open();
    search.searchSerial();
    EXPECT_EQ(search.window.promptPreselections.size(), 1u);
    EXPECT_EQ(search.statuses(),
              (std::vector<std::string>{"The current printer port is COM1: ,you can set that after the installation"}));
    EXPECT_EQ(search.machine.serial.device("COM2").opens, 0);
    EXPECT_EQ(search.spoolerRestarts(), 0);
    EXPECT_TRUE(search.window.timersSet.empty());

    PortSearch single(Program::SoloSetup);
    single.serialPorts({"COM1"});
    single.addPrinter("Receipt", "COM1:");
    single.open();
    single.searchSerial();
    EXPECT_EQ(single.statuses().back(), "The current printer port is COM1:,you can configure after the installation");
}

// --- USB ---------------------------------------------------------------------------------------

TEST(UsbPortSearch, TwoPortsWithTheDeviceOnTheSecond) {
    PortSearch search;
    search.usbPorts(2);
    search.machine.attachedDevices.insert("USB002");
    search.addPrinter("Receipt", "USB001");
    search.open();
    search.searchUsb();
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 60, 50, 60, 70, 80}));
    EXPECT_EQ(search.spoolerRestarts(), 2);
    EXPECT_EQ(search.portOf("Receipt"), "USB002");
    EXPECT_EQ(search.statuses(), (std::vector<std::string>{"Checking USB ports...", "Checking  USB001 ....",
                                                           "Checking  USB002 ...."}));
    EXPECT_TRUE(search.window.messageBoxes.empty());
}

TEST(UsbPortSearch, NoneOnlineThenRetryThenCancelLeavesTheLastPort) {
    PortSearch search;
    search.usbPorts(2);
    search.addPrinter("Receipt", "USB001");
    search.open();
    search.window.answers = {message_box::idRetry, message_box::idCancel};
    search.searchUsb();
    ASSERT_EQ(search.window.messageBoxes.size(), 2u);
    EXPECT_EQ(search.window.messageBoxes[0].text,
              "Failed to select usb port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb "
              "port\r\nClick Cancel:Continue installation, you can select the port after installation");
    EXPECT_EQ(search.window.messageBoxes[0].caption, "Fail to select port");
    EXPECT_EQ(search.window.messageBoxes[0].style, message_box::retryCancel);
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 60, 50, 60, 50, 60, 50, 60, 80, 80}));
    EXPECT_EQ(search.portOf("Receipt"), "USB002");
}

TEST(UsbPortSearch, AnOnlineKeyThatCannotBeOpenedIsPassedOverSilently) {
    PortSearch search;
    search.usbPorts(2);
    search.machine.attachedDevices.insert("USB001");
    search.machine.failingCalls["RegOpenKeyEx " + onlineKey + "Receipt"] = win_error::accessDenied;
    search.addPrinter("Receipt", "USB001");
    search.open();
    search.window.answers = {message_box::idCancel};
    search.searchUsb();
    ASSERT_EQ(search.window.messageBoxes.size(), 1u);
    EXPECT_EQ(search.window.messageBoxes[0].caption, "Fail to select port");
}

TEST(UsbPortSearch, AnOnlineValueThatCannotBeReadIsSaid) {
    PortSearch search;
    search.usbPorts(1);
    search.machine.attachedDevices.insert("USB001");
    search.machine.failingCalls["RegQueryValueEx"] = win_error::accessDenied;
    search.addPrinter("Receipt", "USB001");
    search.open();
    search.window.answers = {message_box::idOk, message_box::idCancel};
    search.searchUsb();
    ASSERT_EQ(search.window.messageBoxes.size(), 2u);
    EXPECT_EQ(search.window.messageBoxes[0].text, "Failed to read Registry");
    EXPECT_EQ(search.window.messageBoxes[0].caption, "multisetup");
}

// The key the online state is read from is closed whether the value could be read or not.
TEST(UsbPortSearch, TheOnlineKeyIsClosedWhetherItsValueIsReadOrNot) {
    for (bool readable : {true, false}) {
        PortSearch search;
        search.usbPorts(1);
        search.machine.attachedDevices.insert("USB001");
        if (!readable) search.machine.failingCalls["RegQueryValueEx"] = win_error::accessDenied;
        search.addPrinter("Receipt", "USB001");
        search.open();
        search.window.answers = {message_box::idOk, message_box::idCancel};
        search.searchUsb();
        EXPECT_EQ(search.logSince("RegOpenKeyEx " + onlineKey).size(), 1u) << readable;
        EXPECT_EQ(search.machine.openHandles(), 0) << readable;
    }
}

TEST(UsbPortSearch, EveryPortWriteResetsTheOnlineStateAndCreatesItsKey) {
    PortSearch search;
    search.usbPorts(2);
    search.addPrinter("Receipt", "USB001");
    search.open();
    const std::string printerKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Receipt";
    search.machine.removeRegistryKey(RegistryRoot::CurrentConfig, printerKey);
    search.run([](DialogContext& context) { writePrinterPort(context, "Receipt", "USB002"); });
    EXPECT_EQ(search.machine.registryValue(RegistryRoot::CurrentConfig, printerKey, "PrinterOnLine"), std::string(4, '\0'));
    search.machine.setRegistryValue(RegistryRoot::CurrentConfig, printerKey, "PrinterOnLine", regDword, std::string("\1\0\0\0", 4));
    search.run([](DialogContext& context) { writePrinterPort(context, "Receipt", "USB001"); });
    EXPECT_EQ(search.machine.registryValue(RegistryRoot::CurrentConfig, printerKey, "PrinterOnLine"), std::string(4, '\0'));
    const std::string printers = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Receipt";
    EXPECT_EQ(search.machine.registryValue(RegistryRoot::LocalMachine, printers, "Port"), text("USB001"));
    EXPECT_EQ(search.machine.registryValue(RegistryRoot::LocalMachine, printers + "\\DsSpooler", "portName"), text("USB001"));
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("USB001"));
    EXPECT_TRUE(search.window.messageBoxes.empty());

    search.machine.failingCalls["RegSetValueEx portName"] = win_error::accessDenied;
    search.run([](DialogContext& context) { writePrinterPort(context, "Receipt", "USB002"); });
    ASSERT_EQ(search.window.messageBoxes.size(), 1u);
    EXPECT_EQ(search.window.messageBoxes[0].text, "Failed to read Registry");
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("USB002")) << "the other keys are still written";
}

TEST(UsbPortSearch, SoloSetupOnWindows7WritesEveryPortWithoutRestart) {
    PortSearch search(Program::SoloSetup);
    search.usbPorts(3);
    search.addPrinter("Receipt", "USB001");
    search.open();
    search.searchUsb();
    EXPECT_EQ(search.spoolerRestarts(), 0);
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("USB003"));
    EXPECT_EQ(search.progress(), (std::vector<int>{50, 50, 50, 80}));
    EXPECT_TRUE(search.window.messageBoxes.empty());
}

TEST(UsbPortSearch, SoloSetupOnOtherSystemsChecksAndSaysUsbInCapitals) {
    PortSearch search(Program::SoloSetup);
    search.machine.version = OsVersion{10, 0, 19045, 2};
    search.usbPorts(1);
    search.addPrinter("Receipt", "USB001");
    search.open();
    search.window.answers = {message_box::idCancel};
    search.searchUsb();
    EXPECT_EQ(search.spoolerRestarts(), 1);
    ASSERT_EQ(search.window.messageBoxes.size(), 1u);
    EXPECT_EQ(search.window.messageBoxes[0].text.substr(0, 26), "Failed to select USB port,");
}

// --- parked printers when the dialog ends ------------------------------------------------

// A serial search in progress on three silent ports: every COM printer is parked, the probe
// runs, and the user ends the dialog (or the session) before any port answered.
struct ParkedSearch : PortSearch {
    ParkedSearch() {
        serialPorts({"COM1", "COM2", "COM3"});
        addPrinter("Receipt", "COM1:");  // the printer being installed, created on the first port
        addPrinter("Second", "COM2:");
        addPrinter("Other", "COM3:");
        addPrinter("Paper", "LPT2:");
        open();
        run([&](DialogContext& context) { context.values.serialSearch->start(context, "Receipt"); });
        EXPECT_EQ(portOf("Other"), "LPT1:");
        EXPECT_EQ(portOf("Second"), "LPT1:");
    }
    void expectBack() {
        EXPECT_EQ(portOf("Receipt"), "COM1:");
        EXPECT_EQ(portOf("Second"), "COM2:");
        EXPECT_EQ(portOf("Other"), "COM3:");
        EXPECT_EQ(portOf("Paper"), "LPT2:");
    }
    void closed() {
        ASSERT_TRUE(window.waitClosed(std::chrono::seconds(5)));
        desktop.opened = false;
    }
};

TEST(ParkedPrinters, GoBackToTheirPortsWhenTheCloseBoxOrEscapeEndsTheSearch) {
    for (bool closeBox : {true, false}) {
        ParkedSearch search;
        if (closeBox)
            search.window.clickCloseBox();
        else
            search.window.clickCancel();
        search.closed();
        search.expectBack();
        EXPECT_EQ(search.machine.serial.openObjects(), 0);
        EXPECT_TRUE(search.window.messageBoxes.empty());
    }
}

// The session ends without the dialog being destroyed: the ports are in the spooler's keys
// for its next start.
TEST(ParkedPrinters, GoBackToTheirPortsWhenTheSessionEnds) {
    ParkedSearch search;
    const int restarts = search.spoolerRestarts();
    search.window.endSession();
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("COM1:"));
    EXPECT_EQ(search.printerKeyPort("Second"), text("COM2:"));
    EXPECT_EQ(search.printerKeyPort("Other"), text("COM3:"));
    EXPECT_EQ(search.spoolerRestarts(), restarts);
    EXPECT_EQ(search.machine.serial.openObjects(), 0);
}

TEST(ParkedPrinters, ThatCannotBePutBackAreNamed) {
    ParkedSearch search;
    // The current control set is the first one: both names reach the same key.
    for (const char* set : {"CurrentControlSet", "ControlSet001"})
        search.machine.failingCalls[std::string("RegOpenKeyEx SYSTEM\\") + set + "\\Control\\Print\\Printers\\Other"] = 5;
    search.window.clickCloseBox();
    search.closed();
    EXPECT_EQ(search.portOf("Second"), "COM2:");
    EXPECT_EQ(search.portOf("Other"), "LPT1:");
    ASSERT_EQ(search.window.messageBoxes.size(), 1u);
    EXPECT_EQ(search.window.messageBoxes[0].text,
              "The search for the serial port had moved these printers to another port, and they could not be put "
              "back on their own port:\r\nOther on COM3:\r\n\r\nSet their ports in the printer settings.");
    EXPECT_EQ(search.window.messageBoxes[0].caption, "multisetup");
}

// A search that ended has nothing parked: closing afterwards leaves the found port alone.
TEST(ParkedPrinters, AreNotTouchedAgainWhenTheSearchHadEnded) {
    PortSearch search;
    search.serialPorts({"COM1", "COM2"});
    search.answering("COM2");
    search.addPrinter("Receipt", "COM1:");
    search.addPrinter("Other", "COM3:");
    search.open();
    search.searchSerial();
    search.window.onDialogThread([] {});
    ASSERT_EQ(search.portOf("Receipt"), "COM2:");
    search.window.clickCloseBox();
    ASSERT_TRUE(search.window.waitClosed(std::chrono::seconds(5)));
    search.desktop.opened = false;
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("COM2:"));
    EXPECT_EQ(search.portOf("Other"), "COM3:");
}

// --- the printer's keys --------------------------------------------------------------------------

// The port goes into every key the spooler may read it from at its next start: the printer's
// own keys, then the running control set by its number and by its current name.
TEST(PortRegistry, ThePortIsWrittenIntoEveryKeyTheSpoolerReads) {
    PortSearch search;
    search.addPrinter("Receipt", "LPT1:");
    search.open();
    search.run([&](DialogContext& context) { writePrinterPort(context, "Receipt", "USB001"); });
    EXPECT_EQ(search.logSince("RegOpenKeyEx"),
              (std::vector<std::string>{
                  "RegOpenKeyEx Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Receipt",
                  "RegOpenKeyEx Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Receipt\\DsSpooler",
                  "RegOpenKeyEx SYSTEM\\ControlSet001\\Control\\Print\\Printers\\Receipt",
                  "RegOpenKeyEx SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Receipt"}));
    EXPECT_EQ(search.logSince("RegSetValueEx Port=").size(), 3u);
    EXPECT_EQ(search.printerKeyPort("Receipt"), text("USB001"));
}

// With one serial port there is no search, but the other COM printers are still written back
// to the ports the spooler lists them on: keys an earlier run left parked are mended.
TEST(SerialPortSearch, TheOnlyPortPathGivesOtherComPrintersTheirPortsBack) {
    PortSearch search;
    search.serialPorts({"COM1"});
    search.addPrinter("Receipt", "COM1:");
    search.addPrinter("Other", "COM3:");
    search.machine.setRegistryValue(RegistryRoot::LocalMachine, sim::SimWindows::printerKey("Other"), "Port", regSz,
                                    text("LPT1:"));
    search.open();
    search.searchSerial();
    EXPECT_EQ(search.portOf("Other"), "COM3:");
    EXPECT_EQ(search.printerKeyPort("Other"), text("COM3:"));
    EXPECT_EQ(search.portOf("Receipt"), "COM1:");
}

}  // namespace

}  // namespace setup::test
