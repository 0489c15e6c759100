#include <windows.h>
#include <winspool.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

std::string textOrEmpty(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

// The thread's last error is read before anything else can change it.
SpoolerCall spoolerCall(BOOL done) {
    return done ? SpoolerCall{true, 0} : SpoolerCall{false, GetLastError()};
}

}  // namespace

Result<std::vector<PortInfo>> Win32Spooler::enumPorts() {
    // The first call only learns the size; it fails with ERROR_INSUFFICIENT_BUFFER when
    // there are ports, and reports a size of 0 when there are none.
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    if (needed == 0) return std::vector<PortInfo>{};

    std::vector<BYTE> buffer(needed);
    returned = 0;
    if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned))
        return Result<std::vector<PortInfo>>::failure(GetLastError());

    const auto* records = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    std::vector<PortInfo> ports;
    ports.reserve(returned);
    for (DWORD i = 0; i < returned; ++i) {
        ports.push_back(PortInfo{textOrEmpty(records[i].pPortName), textOrEmpty(records[i].pMonitorName),
                                 textOrEmpty(records[i].pDescription), records[i].fPortType});
    }
    return ports;
}

SpoolerCall Win32Spooler::addPort(Handle parent, const std::string& monitor) {
    return spoolerCall(AddPortA(nullptr, fromHandle<HWND>(parent), const_cast<char*>(monitor.c_str())));
}

SpoolerCall Win32Spooler::configurePort(Handle parent, const std::string& port) {
    return spoolerCall(ConfigurePortA(nullptr, fromHandle<HWND>(parent), const_cast<char*>(port.c_str())));
}

SpoolerCall Win32Spooler::deletePort(Handle parent, const std::string& port) {
    return spoolerCall(DeletePortA(nullptr, fromHandle<HWND>(parent), const_cast<char*>(port.c_str())));
}

}  // namespace setup::win32
