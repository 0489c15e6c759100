#include <gtest/gtest.h>

#include "probe/port_enumeration.h"
#include "tests/core/fixture.h"

namespace setup::test {

namespace {

PortInfo port(const std::string& name, const std::string& description = "Local Port") {
    return {name, "Local Port", description, 0};
}

struct PortEnumerationTest : ::testing::Test {
    Desktop desktop;
    int preselectedRow() {
        desktop.openAndPrepare();
        for (int row = 0; row < 4; ++row)
            if (desktop.window.portRows[row].selected) return row;
        return -1;
    }
};

TEST_F(PortEnumerationTest, ThePreselectedRowFollowsThePortsFound) {
    struct Case {
        std::vector<PortInfo> ports;
        int row;
    } cases[] = {
        {{port("COM1:"), port("USB001")}, portKindUsb},
        {{port("LPT1:"), port("COM1:")}, portKindSerial},
        {{port("LPT1:"), port("FILE:")}, portKindParallel},
        {{port("FILE:"), port("IP_10.0.0.5", tcpIpPortDescription)}, portKindTcpIp},
        {{port("IP_10.0.0.5", tcpIpPortDescription)}, portKindUsb},
        {{}, portKindUsb},
    };
    for (const Case& c : cases) {
        Desktop desktop;
        desktop.machine.ports = c.ports;
        desktop.openAndPrepare();
        int selected = -1, count = 0;
        for (int row = 0; row < 4; ++row)
            if (desktop.window.portRows[row].selected) selected = row, ++count;
        EXPECT_EQ(selected, c.row) << "first port " << (c.ports.empty() ? "none" : c.ports[0].name);
        EXPECT_EQ(count, 1);
    }
}

TEST_F(PortEnumerationTest, PortsAreSortedByNameAndDescription) {
    desktop.machine.ports = {port("LPT1:", tcpIpPortDescription), port("USB002", tcpIpPortDescription),
                             port("LPT2:"), port("10.1.1.9", tcpIpPortDescriptionChinese),
                             port("10.1.1.8", "Standard TCP/IP port"), port("COM1:"), port("USB001")};
    desktop.openAndPrepare();
    const PortLists& ports = desktop.dialog.values.ports;
    EXPECT_EQ(ports.tcpIp, (std::vector<std::string>{"LPT1:", "10.1.1.9"}));
    EXPECT_EQ(ports.usb, (std::vector<std::string>{"USB002", "USB001"}));
    EXPECT_EQ(ports.parallel, std::vector<std::string>{"LPT2:"});
    EXPECT_EQ(ports.all.size(), 7u);
    // Serial ports come from the serial device map, not from the spooler.
    EXPECT_TRUE(ports.serial.empty());
}

TEST_F(PortEnumerationTest, OnlyTheFirst256PortsCount) {
    for (int i = 0; i < 256; ++i) desktop.machine.ports.push_back(port("LPT" + std::to_string(i + 1) + ":"));
    desktop.machine.ports.push_back(port("USB001"));
    for (int i = 0; i < 43; ++i) desktop.machine.ports.push_back(port("COM" + std::to_string(i + 1) + ":"));
    EXPECT_EQ(preselectedRow(), portKindParallel);
    EXPECT_EQ(desktop.dialog.values.ports.all.size(), 256u);
    EXPECT_TRUE(desktop.dialog.values.ports.usb.empty());
}

TEST_F(PortEnumerationTest, ASpoolerThatFailsLeavesTheListsEmptyAndPreselectsUsb) {
    desktop.machine.ports = {port("COM1:")};
    desktop.machine.enumPortsFails = true;
    EXPECT_EQ(preselectedRow(), portKindUsb);
    EXPECT_TRUE(desktop.dialog.values.ports.all.empty());
}

TEST_F(PortEnumerationTest, SerialPortsComeFromTheDeviceMapInItsOrder) {
    auto& m = desktop.machine;
    const char* map = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    m.setRegistryValue(RegistryRoot::LocalMachine, map, "\\Device\\Serial1", regSz, std::string("COM12") + '\0');
    m.setRegistryValue(RegistryRoot::LocalMachine, map, "Serial9", regSz, std::string("COM9") + '\0');
    m.setRegistryValue(RegistryRoot::LocalMachine, map, "\\Device\\" + std::string(130, 'x'), regSz,
                       std::string("COM7") + '\0');
    m.setRegistryValue(RegistryRoot::LocalMachine, map, "\\Device\\Serial0", regSz, std::string("COM3") + '\0');
    m.setRegistryValue(RegistryRoot::LocalMachine, map, "\\Device\\VSerial", regSz, std::string("COM3") + '\0');
    desktop.openAndPrepare();
    EXPECT_EQ(desktop.dialog.values.ports.serial, (std::vector<std::string>{"COM12:", "COM3:", "COM3:"}));
    EXPECT_EQ(desktop.machine.openHandles(), 0);
}

TEST_F(PortEnumerationTest, EveryEnumerationMovesTheSelectionBackToThePreferredRow) {
    desktop.machine.ports = {port("USB001")};
    desktop.openAndPrepare();
    desktop.window.choosePortRow(portKindTcpIp);
    desktop.window.onDialogThread([&] { enumeratePorts(desktop.dialog.context()); });
    EXPECT_TRUE(desktop.window.portRows[portKindUsb].selected);
    EXPECT_FALSE(desktop.window.portRows[portKindTcpIp].selected);
}

}  // namespace
}  // namespace setup::test
