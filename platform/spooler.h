#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace setup {

// One PORT_INFO_2 record.
struct PortInfo {
    std::string name;
    std::string monitor;
    std::string description;
    std::uint32_t type = 0;
};

// The outcome of a spooler call that answers only success: on failure, the thread's last
// error code right after it.
struct SpoolerCall {
    bool ok = false;
    std::uint32_t error = 0;
};

// The print spooler. EnumPortsA at level 2 on the local machine: the size query and the
// second call are the implementation's business; the result is the records in the
// spooler's order.
class Spooler {
public:
    virtual ~Spooler() = default;
    virtual Result<std::vector<PortInfo>> enumPorts() = 0;
    // AddPortA(NULL, parent, monitor): the monitor's own dialog for a new port, modal to parent.
    virtual SpoolerCall addPort(Handle parent, const std::string& monitor) = 0;
    // ConfigurePortA(NULL, parent, port): the port monitor's configuration dialog.
    virtual SpoolerCall configurePort(Handle parent, const std::string& port) = 0;
    // DeletePortA(NULL, parent, port).
    virtual SpoolerCall deletePort(Handle parent, const std::string& port) = 0;
};

}  // namespace setup
