#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/core/fixture.h"

namespace setup::test {

namespace {

std::vector<std::vector<std::string>> receiptAndLabelSections() {
    std::vector<std::vector<std::string>> sections;
    for (int i = 1; i <= 38; ++i) sections.push_back({"Model " + std::to_string(i)});
    return sections;
}

struct MainDialogTest : ::testing::Test {
    Desktop desktop;
    sim::SimMainWindow& window = desktop.window;

    void SetUp() override {
        desktop.machine.ports = {{"COM1:", "Local Port", "Local Port", 0}, {"LPT1:", "Local Port", "Local Port", 0}};
        desktop.machine.addSerialPort("\\Device\\Serial0", "COM1");
    }
    void prepareWith(const std::vector<std::vector<std::string>>& sections) {
        desktop.providePackage(driverNameFile(sections));
        desktop.openAndPrepare();
    }
    const EngineSpy::Call& install() {
        window.clickInstall();
        EXPECT_FALSE(desktop.engines.calls.empty());
        static EngineSpy::Call none{};
        return desktop.engines.calls.empty() ? none : desktop.engines.calls.back();
    }
};

TEST_F(MainDialogTest, PreparationShowsItsStepsAndEnablesInstallLast) {
    prepareWith({{"Series R01", "Series R01 Plus"}, {"Series R02"}});
    EXPECT_EQ(window.statusHistory, (std::vector<std::string>{"", "Reading driver file...",
                                                              "Current Systems is Microsoft Windows 7  64 bit"}));
    EXPECT_EQ(window.driverList, (std::vector<std::string>{"Series R01", "Series R01 Plus", "Series R02"}));
    EXPECT_EQ(window.driverSelection, 0);
    EXPECT_EQ(window.printerNameText, "Series R01");
    EXPECT_TRUE(window.defaultPrinterTicked);
    EXPECT_TRUE(window.portRows[portKindSerial].selected);
    // The spooler was asked for its ports only after it was made to run.
    auto log = desktop.machine.log();
    auto query = std::find(log.begin(), log.end(), "QueryServiceStatus");
    auto enumPorts = std::find(log.begin(), log.end(), "EnumPorts");
    auto unpack = std::find_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("SevenZip ", 0) == 0; });
    EXPECT_TRUE(query < enumPorts && enumPorts < unpack);
}

TEST_F(MainDialogTest, PortTypeListPerProgram) {
    prepareWith({{"Series R01"}});
    EXPECT_EQ(window.portColumns, (std::vector<std::pair<std::string, int>>{{"Port", 110}, {"Description", 450}}));
    ASSERT_EQ(window.portRows.size(), 4u);
    EXPECT_EQ(window.portRows[0].texts[1], "The program will select a available serial port during instalation");
    EXPECT_EQ(window.portRows[3].texts[0], "TCP/IP port");
    EXPECT_EQ(window.portListStyle, 0x21u);

    Desktop solo(Program::SoloSetup);
    solo.openAndPrepare();
    EXPECT_EQ(solo.window.portColumns[1].second, 525);
    EXPECT_EQ(solo.window.portRows[2].texts[1],
              "The program will prompt you to select a parallel port during installation");
    EXPECT_EQ(solo.window.status, "Current System is Microsoft Windows 7  64 bit");
}

TEST_F(MainDialogTest, ATickChangedDuringPreparationIsUndoneByTheNextStatusStep) {
    desktop.machine.archiverMsPerFile = 30;
    desktop.providePackage(driverNameFile({{"Series R01"}}));
    desktop.open();
    window.tickDefaultPrinterBox(false);
    ASSERT_TRUE(window.waitFor([&] { return window.installEnabled; }));
    EXPECT_TRUE(window.defaultPrinterTicked);
}

TEST_F(MainDialogTest, DispatchesByDriverIndexAtTheReceiptLabelBoundary) {
    prepareWith(receiptAndLabelSections());
    window.chooseDriver(32);
    EXPECT_EQ(install().engine, "receipt");
    EXPECT_EQ(desktop.engines.calls.back().driverIndex, 32);
    window.chooseDriver(33);
    EXPECT_EQ(install().engine, "label");
    EXPECT_EQ(desktop.engines.calls.back().driverIndex, 33);
    EXPECT_FALSE(window.cancelEnabled);
}

TEST_F(MainDialogTest, TheLastSectionListingTheChosenNameGivesTheDriverIndex) {
    auto sections = receiptAndLabelSections();
    sections[34].push_back("Model 3");  // "Model 3" in sections 2 and 34
    prepareWith(sections);
    window.chooseDriver(2);
    EXPECT_EQ(install().driverIndex, 34);
}

TEST_F(MainDialogTest, ANameInNoSectionUsesTheListPosition) {
    prepareWith(receiptAndLabelSections());
    desktop.machine.writeFile("C:\\DriverName.cfg", "");
    window.chooseDriver(5);
    EXPECT_EQ(install().driverIndex, 5);
}

TEST_F(MainDialogTest, AnEmptyDriverListRefusesInstallAndLetsTheUserTryAgain) {
    desktop.openAndPrepare();  // no package beside the program
    EXPECT_TRUE(window.driverList.empty());
    EXPECT_EQ(window.printerNameText, "");
    window.clickInstall();
    EXPECT_TRUE(desktop.engines.calls.empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_NE(window.messageBoxes[0].text.find("DriverData.Drv"), std::string::npos);
    EXPECT_TRUE(window.installEnabled);
    EXPECT_TRUE(window.cancelEnabled);
}

TEST_F(MainDialogTest, ANameBeyondTheKnownDriversIsRefused) {
    auto sections = receiptAndLabelSections();
    sections.push_back({"Model 39"});
    prepareWith(sections);
    window.chooseDriver(38);
    window.clickInstall();
    EXPECT_TRUE(desktop.engines.calls.empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_NE(window.messageBoxes[0].text.find("Model 39"), std::string::npos);
    EXPECT_TRUE(window.installEnabled);
}

TEST_F(MainDialogTest, ThePortsFoundFlagFollowsEachPress) {
    desktop.machine.ports.push_back({"USB001", "USB", "Virtual printer port for USB", 0});
    prepareWith(receiptAndLabelSections());
    window.choosePortRow(portKindTcpIp);
    auto first = install();
    EXPECT_FALSE(first.portsFound);
    EXPECT_EQ(first.chosenPort, "");
    window.choosePortRow(portKindUsb);
    auto second = install();
    EXPECT_TRUE(second.portsFound);
    EXPECT_EQ(second.chosenPort, "USB001");
    EXPECT_EQ(second.portKind, portKindUsb);
}

TEST_F(MainDialogTest, WithNoRowSelectedThePortKindIsKeptOrPreselected) {
    prepareWith(receiptAndLabelSections());
    window.choosePortRow(std::nullopt);
    auto first = install();
    EXPECT_EQ(first.portKind, portKindSerial);  // what the enumeration preselected
    EXPECT_EQ(first.chosenPort, "COM1:");
    window.choosePortRow(portKindParallel);
    install();
    window.choosePortRow(std::nullopt);
    EXPECT_EQ(install().portKind, portKindParallel);
}

TEST_F(MainDialogTest, FinishEndsTheDialogAndRemovesThePackage) {
    prepareWith(receiptAndLabelSections());
    EXPECT_TRUE(desktop.machine.exists("C:\\Ticket\\x86"));
    window.onDialogThread([&] { window.setInstallCaption("&Finish"); });
    window.clickInstall();
    ASSERT_TRUE(window.waitClosed());
    EXPECT_EQ(window.endResult, message_box::idOk);
    EXPECT_TRUE(desktop.engines.calls.empty());
    EXPECT_FALSE(desktop.machine.exists("C:\\Ticket"));
    EXPECT_FALSE(desktop.machine.exists("C:\\Barcode"));
    EXPECT_FALSE(desktop.machine.exists("C:\\DriverName.cfg"));
    EXPECT_EQ(window.timersKilled, std::vector<std::uintptr_t>{1});
}

TEST_F(MainDialogTest, TheCloseBoxAfterInstallEndsAndCleansUp) {
    prepareWith(receiptAndLabelSections());
    install();
    EXPECT_FALSE(window.cancelEnabled);
    window.clickCloseBox();
    ASSERT_TRUE(window.waitClosed());
    EXPECT_EQ(window.endResult, message_box::idCancel);
    EXPECT_FALSE(desktop.machine.exists("C:\\DriverName.cfg"));
}

TEST_F(MainDialogTest, ClosingWhilePreparingStopsTheUnpackingAndLeavesNothing) {
    desktop.providePackage(driverNameFile({{"Series R01"}}));
    for (int i = 0; i < 200; ++i) desktop.machine.archiveTree["Ticket\\x86\\file" + std::to_string(i) + ".GPD"] = "x";
    desktop.machine.archiverMsPerFile = 5;
    desktop.open();
    ASSERT_TRUE(window.waitFor([&] { return desktop.machine.exists("C:\\Ticket\\x86\\file10.GPD"); }));
    window.clickCancel();
    ASSERT_TRUE(window.waitClosed(std::chrono::seconds(5)));
    EXPECT_FALSE(desktop.machine.exists("C:\\Ticket"));
    EXPECT_FALSE(desktop.machine.exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(window.installEnabled);
}

TEST_F(MainDialogTest, InstallIsEnabledOnlyAfterTheSystemIsShown) {
    prepareWith({{"Series R01"}});
    const auto& log = window.controlLog;
    auto enabled = std::find(log.begin(), log.end(), "install on");
    ASSERT_NE(enabled, log.end());
    ASSERT_NE(enabled, log.begin());
    EXPECT_EQ(std::prev(enabled)->rfind("status Current Systems is ", 0), 0u);
}

TEST_F(MainDialogTest, InstallStaysDisabledWhileItsHandlerRuns) {
    prepareWith(receiptAndLabelSections());
    EXPECT_FALSE(install().installEnabled);
}

TEST_F(MainDialogTest, TheListStylesKeepOtherBitsDropHotTrackingAndAddGridAndRowSelection) {
    window.portListStyle = listViewTrackSelect | 0x04;
    prepareWith({{"Series R01"}});
    EXPECT_EQ(window.portListStyle, 0x25u);
}

TEST_F(MainDialogTest, EveryPortTypeRowReadsAsTheProgramSaysIt) {
    prepareWith({{"Series R01"}});
    std::vector<std::vector<std::string>> multi{
        {"Serial port", "The program will select a available serial port during instalation"},
        {"USB port", "The program will select a available USB port automatically"},
        {"Parallel port", "The program will prompt you to select a parallel port before install"},
        {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"}};
    for (std::size_t row = 0; row < multi.size(); ++row) EXPECT_EQ(window.portRows[row].texts, multi[row]) << row;

    Desktop solo(Program::SoloSetup);
    solo.providePackage(driverNameFile({{"Series R01"}}));
    solo.openAndPrepare();
    std::vector<std::vector<std::string>> single{
        {"Serial port", "The program will select a available serial port during installation"},
        {"USB port", "The program will select a available USB port automatically"},
        {"Parallel port", "The program will prompt you to select a parallel port during installation"},
        {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"}};
    for (std::size_t row = 0; row < single.size(); ++row) EXPECT_EQ(solo.window.portRows[row].texts, single[row]) << row;
}

TEST_F(MainDialogTest, CancelAfterPreparationEndsTheDialogAndRemovesThePackage) {
    prepareWith({{"Series R01"}});
    ASSERT_TRUE(desktop.machine.exists("C:\\DriverName.cfg"));
    window.clickCancel();
    ASSERT_TRUE(window.waitClosed());
    EXPECT_EQ(window.endResult, message_box::idCancel);
    EXPECT_FALSE(desktop.machine.exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(desktop.machine.exists("C:\\Ticket"));
    EXPECT_FALSE(desktop.machine.exists("C:\\Barcode"));
}

}  // namespace

}  // namespace setup::test
