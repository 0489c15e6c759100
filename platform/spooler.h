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

// The print spooler. EnumPortsA at level 2 on the local machine: the size query and the
// second call are the implementation's business; the result is the records in the
// spooler's order.
class Spooler {
public:
    virtual ~Spooler() = default;
    virtual Result<std::vector<PortInfo>> enumPorts() = 0;
};

}  // namespace setup
