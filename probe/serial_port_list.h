#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace setup {

// Fills the list with the serial ports of the serial device map, each as "COMn:", in the
// registry's order. Returns 1 when the list holds a port afterwards, else 0.
int readSerialPortList(Registry& registry, std::vector<std::string>& list);

}  // namespace setup
