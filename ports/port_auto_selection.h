#pragma once

#include <cstdint>
#include <string>

#include "context/dialog_context.h"

namespace setup {

// The main dialog's timer that drives the serial probe, and how long a port has to answer.
constexpr std::uintptr_t serialProbeTimer = 1;
constexpr std::uint32_t serialProbeMs = 700;

// Finds the USB port the printer is on (receipt and label installs on a USB port).
void selectUsbPort(DialogContext& context, const std::string& printerName);
// Finds the COM port the printer answers on; may return with the probe running on timer 1,
// whose ticks (MainDialog::onTimer -> serialProbeTick) and received bytes finish the
// installation (Install relabelled "&Finish"). It sets the final state itself.
void selectSerialPort(DialogContext& context, const std::string& printerName);
void serialProbeTick(DialogContext& context);

}  // namespace setup
