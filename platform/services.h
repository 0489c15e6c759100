#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace setup {

// Service states as the service control manager reports them.
enum class ServiceState : std::uint32_t {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
    ContinuePending = 5,
    PausePending = 6,
    Paused = 7,
};

// The service control manager: OpenSCManagerA on the local "ServicesActive" database with
// full access, OpenServiceA with full access, QueryServiceStatus, StartServiceA,
// ControlService(SERVICE_CONTROL_STOP) and CloseServiceHandle.
class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    virtual Result<Handle> openManager() = 0;
    virtual Result<Handle> openService(Handle manager, const std::string& name) = 0;
    virtual Result<ServiceState> queryStatus(Handle service) = 0;
    // StartServiceA and ControlService(SERVICE_CONTROL_STOP): win_error::success when the
    // manager took the request, else the error it refused it with.
    virtual std::uint32_t start(Handle service) = 0;
    virtual std::uint32_t stop(Handle service) = 0;
    virtual void close(Handle handle) = 0;
};

// A service manager or service handle that closes itself (CloseServiceHandle).
using ServiceHandle = UniqueHandle<ServiceControl, &ServiceControl::close>;

}  // namespace setup
