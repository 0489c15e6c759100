#include <gtest/gtest.h>

#include "tests/core/port_test_support.h"

namespace setup::test {

namespace {

using Rows = std::vector<std::string>;
using Selection = std::vector<int>;
using Columns = std::vector<std::pair<std::string, int>>;

const std::string chineseDescription = "\xB1\xEA\xD7\xBC\x20\x54\x43\x50\x2F\x49\x50\x20\xB6\xCB\xBF\xDA";

struct PortDialogTest : ::testing::Test, PortChoiceDesktop {
    // Shows the TCP/IP dialog over these TCP/IP ports with the user's steps; returns it.
    const sim::ShownPortDialog& tcpIpDialog(std::vector<Step> steps) {
        if (!desktop.opened) prepare({localPort("COM1:"), tcpIpPort("IP_A"), tcpIpPort("IP_B"), tcpIpPort("IP_C")});
        choose(portKindTcpIp, {std::move(steps)});
        return onlyDialog();
    }
    std::vector<std::string> boxes(const sim::ShownPortDialog& dialog) {
        std::vector<std::string> shown;
        for (const auto& box : dialog.messageBoxes) {
            EXPECT_EQ(box.style, message_box::ok) << box.text;
            shown.push_back(box.caption + "|" + box.text);
        }
        return shown;
    }
};

TEST_F(PortDialogTest, TheParallelDialogListsEveryLptPortWhateverItsDescription) {
    prepare({localPort("COM1:"), localPort("LPT1:"), localPort("FILE:"), tcpIpPort("LPT2:"),
             localPort("lpt3:"), localPort("XLPT4:"), {"LPT5:", "Other Monitor", "Parallel Port", 0},
             tcpIpPort("IP_1"), localPort("LPT")});
    choose(portKindParallel, {{Step::press(Command::Cancel)}});
    const sim::ShownPortDialog& dialog = onlyDialog();
    ASSERT_EQ(dialog.views.size(), 2u);
    const auto& opened = dialog.views[0];
    EXPECT_EQ(names(opened), (Rows{"LPT1:", "LPT2:", "LPT5:", "LPT"}));
    EXPECT_EQ(opened[0].texts.at(1), "Local Port");
    EXPECT_EQ(opened[1].texts.at(1), "Standard TCP/IP Port");
    EXPECT_EQ(opened[2].texts.at(1), "Parallel Port");
    EXPECT_EQ(selected(opened), Selection{0});
    EXPECT_EQ(dialog.columns, (Columns{{"Port", 125}, {"Description", 300}}));
    EXPECT_EQ(dialog.listStyle, 0x21u);
    EXPECT_EQ(dialog.window, 0x7002u);
}

TEST_F(PortDialogTest, TheTcpIpDialogListsPortsByTheirExactDescription) {
    std::string almost = chineseDescription;
    almost.back() = '\xDB';
    prepare({localPort("COM1:"), tcpIpPort("IP_EN"), tcpIpPort("IP_CN", chineseDescription), localPort("LPT1:"),
             tcpIpPort("IP_LOWER", "Standard TCP/IP port"), tcpIpPort("IP_ALMOST", almost),
             tcpIpPort("IP_SHORT", chineseDescription.substr(0, 15)), tcpIpPort("USB001")});
    const sim::ShownPortDialog& dialog = tcpIpDialog({Step::press(Command::Cancel)});
    const auto& opened = dialog.views.at(0);
    EXPECT_EQ(names(opened), (Rows{"IP_EN", "IP_CN", "USB001"}));
    EXPECT_EQ(opened[1].texts.at(1), chineseDescription);
    EXPECT_EQ(selected(opened), Selection{0});
    EXPECT_EQ(dialog.columns, (Columns{{"Port", 125}, {"Description", 300}}));
    EXPECT_EQ(dialog.listStyle, 0x21u);
}

TEST_F(PortDialogTest, OkAnswersTheFirstSelectedRowOrZero) {
    EXPECT_EQ(tcpIpDialog({Step::select(2), Step::press(Command::Ok)}).result, 0x1202);
    window.portDialogs.clear();
    EXPECT_EQ(tcpIpDialog({Step::selectNone(), Step::press(Command::Ok)}).result, 0);

    PortChoiceDesktop parallel;
    parallel.prepare({localPort("LPT1:"), localPort("LPT2:"), localPort("LPT3:")});
    parallel.choose(portKindParallel, {{Step::select(1), Step::press(Command::Ok)}});
    EXPECT_EQ(parallel.onlyDialog().result, 0x1201);
    parallel.window.portDialogs.clear();
    parallel.choose(portKindParallel, {{Step::selectNone(), Step::press(Command::Ok)}});
    EXPECT_EQ(parallel.onlyDialog().result, 0);
}

TEST_F(PortDialogTest, EnterAndEscapeKeepTheSystemsOkAndCancelResults) {
    EXPECT_EQ(tcpIpDialog({Step::select(1), Step::press(Command::EnterKey)}).result, 1);
    window.portDialogs.clear();
    EXPECT_EQ(tcpIpDialog({Step::select(1), Step::press(Command::EscapeKey)}).result, 2);
    window.portDialogs.clear();
    EXPECT_EQ(tcpIpDialog({Step::closeBox()}).result, ResultNone);
}

TEST_F(PortDialogTest, AnAddedPortIsSelectedAsTheLastRow) {
    machine.addPortAnswers = {"IP_NEW"};
    const sim::ShownPortDialog& dialog = tcpIpDialog({Step::select(1), Step::press(Command::AddPort)});
    EXPECT_EQ(machine.logMatching("AddPort"), Rows{"AddPort 28674 Standard TCP/IP Port"});
    const auto& added = dialog.views.at(2);
    EXPECT_EQ(names(added), (Rows{"IP_A", "IP_B", "IP_C", "IP_NEW"}));
    EXPECT_EQ(added[3].texts.at(1), "Standard TCP/IP Port");
    EXPECT_EQ(selected(added), Selection{3});
    EXPECT_TRUE(dialog.messageBoxes.empty());
}

TEST_F(PortDialogTest, ACancelledAddLeavesTheSelectionOnTheFirstRow) {
    machine.addPortAnswers = {std::nullopt};
    const sim::ShownPortDialog& dialog = tcpIpDialog({Step::select(2), Step::press(Command::AddPort)});
    EXPECT_EQ(names(dialog.views.at(2)), (Rows{"IP_A", "IP_B", "IP_C"}));
    EXPECT_EQ(selected(dialog.views.at(2)), Selection{0});
    EXPECT_TRUE(dialog.messageBoxes.empty());
}

TEST_F(PortDialogTest, DeleteRemovesTheSelectedPortAndFillsTheListAgain) {
    const sim::ShownPortDialog& dialog = tcpIpDialog({Step::select(1), Step::press(Command::DeletePort)});
    EXPECT_EQ(machine.logMatching("DeletePort"), Rows{"DeletePort 28674 IP_B"});
    EXPECT_EQ(names(dialog.views.at(2)), (Rows{"IP_A", "IP_C"}));
    EXPECT_EQ(selected(dialog.views.at(2)), Selection{0});
}

TEST_F(PortDialogTest, DeleteWithoutASelectionOnlyFillsTheListAgain) {
    prepare({tcpIpPort("IP_A"), tcpIpPort("IP_B")});
    std::size_t before = enumerations();
    const sim::ShownPortDialog& dialog = tcpIpDialog({Step::selectNone(), Step::press(Command::DeletePort)});
    EXPECT_TRUE(machine.logMatching("DeletePort").empty());
    EXPECT_EQ(selected(dialog.views.at(1)), Selection{});
    EXPECT_EQ(selected(dialog.views.at(2)), Selection{0});
    // Opening, the delete and the enumeration after the dialog.
    EXPECT_EQ(enumerations(), before + 3);
}

TEST_F(PortDialogTest, ADeleteTheMonitorDoesNotSupportIsReported) {
    machine.deletePortErrors = {{"IP_B", win_error::notSupported}, {"IP_C", win_error::accessDenied}};
    const sim::ShownPortDialog& dialog =
        tcpIpDialog({Step::select(1), Step::press(Command::DeletePort), Step::select(2),
                     Step::press(Command::DeletePort)});
    EXPECT_EQ(boxes(dialog), Rows{"Delete Port|Failed to delete port.The request is not supported."});
    EXPECT_EQ(names(dialog.views.back()), (Rows{"IP_A", "IP_B", "IP_C"}));
}

TEST_F(PortDialogTest, ConfigureFailuresAreReportedByTheirErrorCode) {
    machine.configurePortErrors = {{"IP_A", win_error::notSupported},
                                   {"IP_B", win_error::adapterHardwareError},
                                   {"IP_C", win_error::accessDenied}};
    prepare({tcpIpPort("IP_A"), tcpIpPort("IP_B"), tcpIpPort("IP_C")});
    std::size_t before = enumerations();
    const sim::ShownPortDialog& dialog =
        tcpIpDialog({Step::press(Command::ConfigurePort), Step::select(1), Step::press(Command::ConfigurePort),
                     Step::select(2), Step::press(Command::ConfigurePort), Step::selectNone(),
                     Step::press(Command::ConfigurePort)});
    EXPECT_EQ(machine.logMatching("ConfigurePort"),
              (Rows{"ConfigurePort 28674 IP_A", "ConfigurePort 28674 IP_B", "ConfigurePort 28674 IP_C"}));
    EXPECT_EQ(boxes(dialog),
              (Rows{"Configure Port|Failed to configure printer port.\r\nThe request is not supported.",
                    "Configure Por|Failed to configure printer port.\r\nA hardware error occurred. "}));
    // Configuring does not fill the list again: opening and the enumeration after the dialog.
    EXPECT_EQ(enumerations(), before + 2);
}

TEST_F(PortDialogTest, OkOnAnEmptyListPromptsAndTheDialogStaysOpen) {
    prepare({tcpIpPort("IP_ONLY")});
    const sim::ShownPortDialog& dialog = tcpIpDialog({Step::press(Command::DeletePort), Step::press(Command::Ok),
                                                      Step::press(Command::Cancel)});
    EXPECT_EQ(boxes(dialog), Rows{"Prompt|There is no available TCP/IP port\r\nClick \"Add port\" to create a new port"});
    ASSERT_EQ(dialog.views.size(), 4u);  // the Cancel after OK was still taken
    EXPECT_TRUE(dialog.views[2].empty());
    EXPECT_EQ(dialog.result, ResultNone);
}

// The simulated port monitors answer as Wine's spooler does where Windows has no monitor.
TEST(SimulatedPortMonitors, AnUnknownMonitorOrPortFailsWithNotSupported) {
    TempRoot root;
    sim::SimWindows machine(root.path);
    machine.ports = {localPort("LPT1:")};
    machine.addPortAnswers = {"IP_1"};
    SpoolerCall added = machine.addPort(0, "No Such Monitor");
    EXPECT_FALSE(added.ok);
    EXPECT_EQ(added.error, win_error::notSupported);
    EXPECT_EQ(machine.addPortAnswers.size(), 1u);  // no dialog was shown
    EXPECT_EQ(machine.deletePort(0, "LPT9:").error, win_error::notSupported);
    EXPECT_EQ(machine.configurePort(0, "LPT9:").error, win_error::notSupported);
    EXPECT_TRUE(machine.configurePort(0, "LPT1:").ok);
    EXPECT_TRUE(machine.deletePort(0, "LPT1:").ok);
    EXPECT_TRUE(machine.ports.empty());
}

}  // namespace

}  // namespace setup::test
