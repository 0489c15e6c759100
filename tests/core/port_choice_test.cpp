#include <gtest/gtest.h>

#include "ports/port_checks.h"
#include "tests/core/port_test_support.h"

namespace setup::test {

namespace {

const std::vector<PortInfo> threeParallelPorts = {localPort("COM1:"), localPort("LPT1:"), localPort("LPT2:"),
                                                  localPort("FILE:"), localPort("LPT3:")};
const std::vector<PortInfo> twoTcpIpPorts = {localPort("LPT1:"), tcpIpPort("IP_10.0.0.5"), localPort("FILE:"),
                                             tcpIpPort("IP_10.0.0.6")};

struct PortChoiceTest : ::testing::Test, PortChoiceDesktop {};

TEST_F(PortChoiceTest, WithoutAParallelPortTheUserIsToldAndNothingIsInstalled) {
    prepare({localPort("COM1:"), localPort("FILE:"), tcpIpPort("LPT1:")});
    EXPECT_FALSE(choose(portKindParallel));
    expectStopped();
    ASSERT_EQ(window.messageBoxes.size(), boxesBefore + 1);
    const sim::ShownMessageBox& box = window.messageBoxes.back();
    EXPECT_EQ(box.text, "There is no available parallel port.\r\n\r\nPlease select other port type.");
    EXPECT_EQ(box.caption, "multisetup");
    EXPECT_EQ(box.style, message_box::ok);
    EXPECT_TRUE(window.portDialogs.empty());
}

TEST_F(PortChoiceTest, TheOnlyParallelPortIsTakenWithoutAsking) {
    prepare({localPort("COM1:"), localPort("LPT2:")});
    std::size_t before = enumerations();
    EXPECT_TRUE(choose(portKindParallel));
    EXPECT_EQ(values.chosenPort, "LPT2:");
    EXPECT_TRUE(window.portDialogs.empty());
    EXPECT_EQ(enumerations(), before);
    EXPECT_FALSE(window.installEnabled);  // the installation goes on
}

TEST_F(PortChoiceTest, OfSeveralParallelPortsTheUserPicksOneInTheParallelDialog) {
    prepare(threeParallelPorts);
    std::size_t before = enumerations();
    EXPECT_TRUE(choose(portKindParallel, {{Step::select(1), Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "LPT2:");
    const sim::ShownPortDialog& dialog = onlyDialog();
    EXPECT_EQ(dialog.resourceId, 137);
    EXPECT_EQ(dialog.result, 0x1201);
    // The dialog lists the ports itself, and the lists are enumerated again after it.
    EXPECT_EQ(enumerations(), before + 2);
    EXPECT_EQ(window.statusHistory, statusBefore);
    EXPECT_EQ(window.progressHistory, progressBefore);
}

TEST_F(PortChoiceTest, WithoutATcpIpPortThePortMonitorOffersToAddOne) {
    prepare({localPort("COM1:"), localPort("LPT1:")});
    machine.addPortAnswers = {std::nullopt};
    EXPECT_FALSE(choose(portKindTcpIp));
    expectStopped();
    EXPECT_EQ(machine.logMatching("AddPort"), std::vector<std::string>{"AddPort 28673 Standard TCP/IP Port"});
    EXPECT_TRUE(window.portDialogs.empty());
    EXPECT_EQ(window.messageBoxes.size(), boxesBefore);

    machine.addPortAnswers = {"IP_192.168.1.20"};
    EXPECT_TRUE(choose(portKindTcpIp));
    EXPECT_EQ(values.chosenPort, "IP_192.168.1.20");
    EXPECT_EQ(values.ports.tcpIp, std::vector<std::string>{"IP_192.168.1.20"});
    EXPECT_TRUE(window.portDialogs.empty());
}

TEST_F(PortChoiceTest, TheTcpIpCheckAnswersWhetherTheMonitorAddedAPort) {
    prepare({localPort("COM1:")});
    machine.addPortAnswers = {std::nullopt, "IP_10.0.0.1"};
    std::vector<int> answers;
    for (int i = 0; i < 2; ++i)
        window.onDialogThread([&] { answers.push_back(checkTcpIpPort(desktop.dialog.context()).code); });
    EXPECT_EQ(answers, (std::vector<int>{ResultNone, ResultPortAdded}));
}

TEST_F(PortChoiceTest, AnAddedPortTheListsDoNotHoldIsNotUsed) {
    // The monitor reports success, but the enumeration sorts the new port elsewhere.
    prepare({localPort("COM1:")});
    machine.addPortAnswers = {"USB009"};
    EXPECT_FALSE(choose(portKindTcpIp));
    expectStopped();
}

TEST_F(PortChoiceTest, EvenASingleTcpIpPortIsOfferedInTheTcpIpDialog) {
    prepare({localPort("COM1:"), tcpIpPort("IP_10.0.0.5")});
    EXPECT_TRUE(choose(portKindTcpIp, {{Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "IP_10.0.0.5");
    EXPECT_EQ(onlyDialog().resourceId, 129);
    EXPECT_TRUE(machine.logMatching("AddPort").empty());
}

TEST_F(PortChoiceTest, TheTcpIpPortPickedInTheDialogIsChosen) {
    prepare(twoTcpIpPorts);
    EXPECT_TRUE(choose(portKindTcpIp, {{Step::select(1), Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "IP_10.0.0.6");
    EXPECT_EQ(onlyDialog().result, 0x1201);
}

TEST_F(PortChoiceTest, APortAddedInTheTcpIpDialogIsChosenByItsRow) {
    prepare(twoTcpIpPorts);
    machine.addPortAnswers = {"IP_10.0.0.7"};
    EXPECT_TRUE(choose(portKindTcpIp, {{Step::press(Command::AddPort), Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "IP_10.0.0.7");
    EXPECT_EQ(onlyDialog().result, 0x1202);
}

// Every answer that names no port stops the installation in the same way.
TEST_F(PortChoiceTest, AnswersWithoutAPortStopTheInstallation) {
    struct Case {
        const char* what;
        std::vector<Step> steps;
        int result;
    } cases[] = {
        {"OK without a selection", {Step::selectNone(), Step::press(Command::Ok)}, 0},
        {"Enter", {Step::select(1), Step::press(Command::EnterKey)}, 1},
        {"Escape", {Step::select(1), Step::press(Command::EscapeKey)}, 2},
        {"Cancel", {Step::select(1), Step::press(Command::Cancel)}, ResultNone},
        {"the close box", {Step::select(1), Step::closeBox()}, ResultNone},
    };
    for (const Case& c : cases) {
        for (int kind : {portKindParallel, portKindTcpIp}) {
            PortChoiceDesktop run;
            run.prepare({localPort("LPT1:"), localPort("LPT2:"), tcpIpPort("IP_1"), tcpIpPort("IP_2")});
            EXPECT_FALSE(run.choose(kind, {c.steps})) << c.what << " in the dialog of kind " << kind;
            run.expectStopped();
            EXPECT_EQ(run.onlyDialog().result, c.result) << c.what;
        }
    }
}

TEST_F(PortChoiceTest, ARowTheRefreshedListDoesNotHoldStopsTheInstallation) {
    // The dialog lists every LPT port; the port lists keep the first 256 ports only.
    std::vector<PortInfo> ports;
    for (int i = 1; i <= 300; ++i) ports.push_back(localPort("LPT" + std::to_string(i) + ":"));
    prepare(ports);
    EXPECT_FALSE(choose(portKindParallel, {{Step::select(280), Step::press(Command::Ok)}}));
    expectStopped();
    EXPECT_EQ(onlyDialog().result, ResultRowBase + 280);

    EXPECT_TRUE(choose(portKindParallel, {{Step::select(255), Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "LPT256:");
}

TEST_F(PortChoiceTest, TheChosenRowIsTheOneTheUserSawWhenTheDialogListsMoreThanTheList) {
    // LPT1: has a TCP/IP description: a row of the parallel dialog, but a TCP/IP port.
    prepare({tcpIpPort("LPT1:"), localPort("LPT2:"), localPort("LPT3:")});
    ASSERT_EQ(values.ports.parallel, (std::vector<std::string>{"LPT2:", "LPT3:"}));
    EXPECT_TRUE(choose(portKindParallel, {{Step::select(1), Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "LPT2:");
    EXPECT_TRUE(choose(portKindParallel, {{Step::select(2), Step::press(Command::Ok)}}));
    EXPECT_EQ(values.chosenPort, "LPT3:");
    // Picked in the parallel dialog, the TCP/IP port is no parallel port.
    EXPECT_FALSE(choose(portKindParallel, {{Step::select(0), Step::press(Command::Ok)}}, "LPT3:"));
    expectStopped("LPT3:");
}

TEST_F(PortChoiceTest, SerialAndUsbPrintersKeepTheirPortWithoutAsking) {
    prepare({localPort("COM1:"), localPort("LPT1:"), localPort("LPT2:"), tcpIpPort("IP_1")});
    for (int kind : {portKindSerial, portKindUsb}) {
        EXPECT_TRUE(choose(kind, {}, "USB001"));
        EXPECT_EQ(values.chosenPort, "USB001");
    }
    EXPECT_TRUE(window.portDialogs.empty());
    EXPECT_TRUE(machine.logMatching("AddPort").empty());
    EXPECT_EQ(window.messageBoxes.size(), boxesBefore);
    EXPECT_FALSE(window.installEnabled);
}

}  // namespace

}  // namespace setup::test
