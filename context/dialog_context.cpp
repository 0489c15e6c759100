#include "context/dialog_context.h"

namespace setup {

void PortLists::clear() {
    all.clear();
    usb.clear();
    serial.clear();
    parallel.clear();
    tcpIp.clear();
}

const std::vector<std::string>* PortLists::ofKind(int portKind) const {
    switch (portKind) {
        case portKindSerial: return &serial;
        case portKindUsb: return &usb;
        case portKindParallel: return &parallel;
        case portKindTcpIp: return &tcpIp;
        default: return nullptr;
    }
}

const char* portKindName(int portKind) {
    switch (portKind) {
        case portKindSerial: return "serial";
        case portKindUsb: return "USB";
        case portKindParallel: return "parallel";
        case portKindTcpIp: return "TCP/IP";
        default: return "unknown";
    }
}

std::string systemErrorText(System& system, std::uint32_t error) {
    std::string text = system.systemMessage(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return (text.empty() ? "" : text + " ") + "(error " + std::to_string(error) + ")";
}

}  // namespace setup
