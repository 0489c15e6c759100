#include <windows.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

Result<Handle> Win32ServiceControl::openManager() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return Result<Handle>::failure(GetLastError());
    return toHandle(manager);
}

Result<Handle> Win32ServiceControl::openService(Handle manager, const std::string& name) {
    SC_HANDLE service = OpenServiceA(fromHandle<SC_HANDLE>(manager), name.c_str(), SERVICE_ALL_ACCESS);
    if (service == nullptr) return Result<Handle>::failure(GetLastError());
    return toHandle(service);
}

Result<ServiceState> Win32ServiceControl::queryStatus(Handle service) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(fromHandle<SC_HANDLE>(service), &status))
        return Result<ServiceState>::failure(GetLastError());
    return static_cast<ServiceState>(status.dwCurrentState);
}

std::uint32_t Win32ServiceControl::start(Handle service) {
    if (StartServiceA(fromHandle<SC_HANDLE>(service), 0, nullptr)) return win_error::success;
    return GetLastError();
}

std::uint32_t Win32ServiceControl::stop(Handle service) {
    SERVICE_STATUS status{};
    if (ControlService(fromHandle<SC_HANDLE>(service), SERVICE_CONTROL_STOP, &status)) return win_error::success;
    return GetLastError();
}

void Win32ServiceControl::close(Handle handle) {
    CloseServiceHandle(fromHandle<SC_HANDLE>(handle));
}

}  // namespace setup::win32
