#include "probe/port_enumeration.h"

#include "context/dialog_context.h"
#include "probe/serial_port_list.h"

namespace setup {

bool isTcpIpDescription(const std::string& description) {
    return description == tcpIpPortDescription || description == tcpIpPortDescriptionChinese;
}

namespace {

bool beginsWith(const std::string& name, const char* text) {
    return name.rfind(text, 0) == 0;
}

struct PortCounts {
    int com = 0, lpt = 0, file = 0, usb = 0;
};

// The port kind a user most likely has, from what ports the system has.
int preferredPortKind(const PortCounts& counts) {
    if (counts.usb > 0) return portKindUsb;
    if (counts.com > 0) return portKindSerial;
    if (counts.lpt > 0) return portKindParallel;
    if (counts.file > 0) return portKindTcpIp;
    return portKindUsb;
}

// Fills the lists; returns the likeliest port kind.
int fillPortLists(DialogContext& context) {
    PortLists& ports = context.values.ports;
    ports.clear();
    readSerialPortList(context.platform.registry, ports.serial);

    Result<std::vector<PortInfo>> found = context.platform.spooler.enumPorts();
    MainWindow& window = context.window;
    window.setPortListExtendedStyle((window.portListExtendedStyle() & ~listViewTrackSelect) |
                                    listViewGridLinesFullRowSelect);

    PortCounts counts;
    if (found) {
        int taken = 0;
        for (const PortInfo& port : *found) {
            if (taken++ >= maxEnumeratedPorts) break;
            const std::string& name = port.name;
            if (beginsWith(name, "COM")) ++counts.com;
            if (beginsWith(name, "LPT")) ++counts.lpt;
            if (beginsWith(name, "FILE")) ++counts.file;
            if (beginsWith(name, "USB")) ++counts.usb;

            if (beginsWith(name, "USB"))
                ports.usb.push_back(name);
            else if (isTcpIpDescription(port.description))
                ports.tcpIp.push_back(name);
            else if (beginsWith(name, "LPT"))
                ports.parallel.push_back(name);
            ports.all.push_back(name);
        }
    }
    context.values.preferredPortKind = preferredPortKind(counts);
    return context.values.preferredPortKind;
}

}  // namespace

void enumeratePorts(DialogContext& context) {
    context.window.portListSelect(fillPortLists(context));
    context.calls.refresh();
}

void refreshPortLists(DialogContext& context) {
    fillPortLists(context);
    context.calls.refresh();
}

}  // namespace setup
