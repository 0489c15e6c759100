// Installations that cannot go on: the user is told why, nothing is registered, Install is
// usable again and a second press installs what the user chose.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/core/port_test_support.h"

namespace setup::test {

namespace {

constexpr int firstReceipt = 0;
constexpr int firstLabel = 33;
constexpr const char* disabledReason =
    "The service cannot be started, either because it is disabled or because it has no enabled devices associated "
    "with it. (error 1058)";

struct StoppedInstall : ::testing::Test {
    Desktop desktop{Program::MultiSetup, true};
    sim::SimWindows& machine = desktop.machine;
    sim::SimMainWindow& window = desktop.window;

    void prepare(std::vector<PortInfo> ports = {localPort("LPT1:")}) {
        machine.ports = std::move(ports);
        desktop.provideFullPackage();
        desktop.openAndPrepare();
    }
    void install(int driverIndex, std::optional<int> portKind, std::vector<std::vector<Step>> scripts = {}) {
        window.portDialogScripts.assign(scripts.begin(), scripts.end());
        window.chooseDriver(driverIndex);
        if (portKind) window.choosePortRow(*portKind);
        window.clickInstall();
    }
    void disableSpooler() {
        machine.services["Spooler"] = {ServiceState::Stopped};
        machine.services["Spooler"].startRefusal = 1058;
    }
    bool saw(const std::string& status) const {
        return std::find(window.statusHistory.begin(), window.statusHistory.end(), status) != window.statusHistory.end();
    }
    std::vector<int> selectedPortRows() {
        std::vector<int> rows;
        window.onDialogThread([&] {
            for (std::size_t r = 0; r < window.portRows.size(); ++r)
                if (window.portRows[r].selected) rows.push_back(static_cast<int>(r));
        });
        return rows;
    }
    // Install usable with its first caption, the last box's text.
    void expectUsableAfter(const std::string& boxText) {
        EXPECT_TRUE(window.installEnabled);
        EXPECT_EQ(window.installText, "&Install");
        ASSERT_FALSE(window.messageBoxes.empty());
        EXPECT_EQ(window.messageBoxes.back().text, boxText);
    }
};

TEST_F(StoppedInstall, ADisabledSpoolerAtStartUpIsSaidAtOnceAndPreparationGoesOn) {
    disableSpooler();
    prepare();
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              std::string("The service Spooler could not be started.\r\n\r\n") + disabledReason);
    EXPECT_EQ(machine.logMatching("QueryServiceStatus").size(), 1u) << "no polling after the refusal";
    EXPECT_EQ(window.status.rfind("Current Systems is ", 0), 0u);
}

// Both engines ask for the spooler right before their first registration.
TEST_F(StoppedInstall, AnInstallWhoseSpoolerCannotStartRegistersNothingAndLeavesInstallUsable) {
    prepare();
    for (int driverIndex : {firstReceipt, firstLabel}) {
        disableSpooler();
        std::size_t boxes = window.messageBoxes.size();
        std::size_t queries = machine.logMatching("QueryServiceStatus").size();
        install(driverIndex, portKindParallel);
        EXPECT_EQ(window.messageBoxes.size(), boxes + 1) << driverIndex;
        expectUsableAfter(std::string("The service Spooler could not be started.\r\n\r\n") + disabledReason);
        EXPECT_TRUE(machine.drivers.empty()) << driverIndex;
        EXPECT_TRUE(machine.monitors.empty()) << driverIndex;
        EXPECT_TRUE(machine.printers.empty()) << driverIndex;
        EXPECT_EQ(window.status, "The installation is stopped: the print spooler is not running.");
        EXPECT_EQ(window.progressHistory.back(), 0);
        EXPECT_FALSE(saw("The installation is completed."));
        EXPECT_EQ(machine.logMatching("QueryServiceStatus").size(), queries + 1) << "no polling after the refusal";
    }

    // Once the spooler may start again, the same press installs.
    machine.services["Spooler"].startRefusal = 0;
    install(firstReceipt, portKindParallel);
    EXPECT_EQ(window.status, "The installation is completed.");
    EXPECT_EQ(machine.printers.size(), 1u);
}

TEST_F(StoppedInstall, ASpoolerThatCannotBeRestartedForTheMonitorStopsTheLabelInstall) {
    prepare();
    // The monitor of an earlier installation, with its DLL where this one puts it.
    const std::string dll = "C:\\Windows\\SysWOW64\\almon64.dll";
    machine.monitors.push_back({"Advanced Language Monitor", "Windows x64", dll});
    machine.writeFile(dll, "earlier monitor");
    machine.services["Spooler"].stopRefusal = 1053;
    install(firstLabel, portKindParallel);
    EXPECT_TRUE(window.installEnabled);
    ASSERT_GE(window.messageBoxes.size(), 2u);
    EXPECT_EQ(window.messageBoxes[window.messageBoxes.size() - 2].text.rfind(
                  "The service Spooler could not be stopped.\r\n\r\n", 0),
              0u);
    // The monitor removed for ours is registered again, and the box says so.
    EXPECT_EQ(window.messageBoxes.back().text,
              "Failed to add Monitor\r\nThe monitor DLL C:\\Windows\\SysWOW64\\almon64.dll that was there before is "
              "back as it was.\r\nThe Advanced Language Monitor installed before is registered again.");
    EXPECT_EQ(window.messageBoxes.back().caption, "multisetup");
    ASSERT_EQ(machine.monitors.size(), 1u);
    EXPECT_EQ(machine.monitors[0].name, "Advanced Language Monitor");
    EXPECT_EQ(machine.monitors[0].dllName, dll);
    EXPECT_FALSE(machine.exists(dll + ".previous"));
    EXPECT_TRUE(machine.drivers.empty());
    EXPECT_TRUE(machine.printers.empty());
    EXPECT_FALSE(saw("The installation is completed."));
}

TEST_F(StoppedInstall, EscapeInTheParallelDialogKeepsTheParallelRowForTheNextPress) {
    // COM and LPT ports: start-up preselects the serial row.
    prepare({localPort("COM1:"), localPort("LPT1:"), localPort("LPT2:")});
    ASSERT_EQ(selectedPortRows(), std::vector<int>{portKindSerial});
    install(firstReceipt, portKindParallel, {{Step::select(1), Step::press(Command::EscapeKey)}});
    EXPECT_TRUE(window.installEnabled);
    EXPECT_TRUE(machine.printers.empty());
    EXPECT_EQ(selectedPortRows(), std::vector<int>{portKindParallel});

    // The next press, the row as the user left it.
    install(firstReceipt, std::nullopt, {{Step::select(1), Step::press(Command::Ok)}});
    ASSERT_EQ(machine.printers.size(), 1u);
    EXPECT_EQ(machine.printers[0].portName, "LPT2:");
    EXPECT_TRUE(machine.serial.device("COM1").definitions.empty()) << "no serial line was opened";
    EXPECT_EQ(window.status, "The installation is completed.");
}

TEST_F(StoppedInstall, ATcpIpPortTheMonitorCannotAddIsSaidAndTheRowKept) {
    prepare({localPort("COM1:"), localPort("LPT1:")});
    machine.portMonitors.erase("Standard TCP/IP Port");
    install(firstReceipt, portKindTcpIp);
    expectUsableAfter("The TCP/IP port could not be added.\r\n\r\nThe request is not supported. (error 50)");
    EXPECT_EQ(selectedPortRows(), std::vector<int>{portKindTcpIp});
    EXPECT_TRUE(machine.printers.empty());

    // The user cancelling the monitor's own dialog is no failure to tell.
    machine.portMonitors.insert("Standard TCP/IP Port");
    std::size_t boxes = window.messageBoxes.size();
    install(firstReceipt, std::nullopt);
    EXPECT_EQ(window.messageBoxes.size(), boxes);
    EXPECT_EQ(selectedPortRows(), std::vector<int>{portKindTcpIp});
}

TEST_F(StoppedInstall, AChosenPortThatIsGoneIsNamedAndInstallStaysUsable) {
    prepare({localPort("LPT1:"), localPort("LPT2:"), localPort("LPT3:")});
    auto unplugLpt2 = Step::meanwhile([this] {
        machine.ports.erase(std::remove_if(machine.ports.begin(), machine.ports.end(),
                                           [](const PortInfo& p) { return p.name == "LPT2:"; }),
                            machine.ports.end());
    });
    std::size_t boxes = window.messageBoxes.size();
    install(firstReceipt, portKindParallel, {{Step::select(1), unplugLpt2, Step::press(Command::Ok)}});
    EXPECT_EQ(window.messageBoxes.size(), boxes + 1);
    expectUsableAfter("The port LPT2: is no longer available.\r\n\r\nPlease press Install and choose a port again.");
    EXPECT_TRUE(machine.drivers.empty());
    EXPECT_TRUE(machine.printers.empty());

    install(firstReceipt, std::nullopt, {{Step::select(1), Step::press(Command::Ok)}});
    ASSERT_EQ(machine.printers.size(), 1u);
    EXPECT_EQ(machine.printers[0].portName, "LPT3:");
}

// The spooler is disabled while the USB search restarts it: the search stops at the refusal,
// asks no Retry, and the installation is not called complete.
TEST_F(StoppedInstall, AUsbSearchWhoseSpoolerDoesNotComeBackEndsSayingSo) {
    prepare({localPort("LPT1:"), {"USB001", "USB Monitor", "Virtual printer port for USB", 0},
             {"USB002", "USB Monitor", "Virtual printer port for USB", 0}});
    machine.services["Spooler"].startRefusal = 1058;  // running now; refuses its next start
    install(firstReceipt, portKindUsb);
    EXPECT_EQ(machine.logMatching("ControlService Stop").size(), 1u) << "no second port tried";
    ASSERT_EQ(window.messageBoxes.size(), 1u) << "the refusal, and no Retry question";
    EXPECT_EQ(window.messageBoxes[0].text, std::string("The service Spooler could not be started.\r\n\r\n") + disabledReason);
    EXPECT_EQ(window.status, "The installation is stopped: the print spooler is not running.");
    EXPECT_FALSE(saw("The installation is completed."));
    EXPECT_FALSE(desktop.dialog.values.installationCompleted);
    EXPECT_EQ(window.installText, "&Finish");
}

// The same for the one serial port: the printer is put on it, but not called installed.
TEST_F(StoppedInstall, ASerialPortWhoseSpoolerDoesNotComeBackEndsSayingSo) {
    machine.addSerialPort("\\Device\\Serial0", "COM1");
    prepare({localPort("LPT1:"), localPort("COM1:")});
    machine.services["Spooler"].startRefusal = 1058;
    install(firstReceipt, portKindSerial);
    ASSERT_TRUE(window.waitFor([&] { return window.installText == "&Finish"; }, std::chrono::seconds(10)));
    EXPECT_EQ(window.status, "The installation is stopped: the print spooler is not running.");
    EXPECT_FALSE(desktop.dialog.values.installationCompleted);
}

}  // namespace

}  // namespace setup::test
