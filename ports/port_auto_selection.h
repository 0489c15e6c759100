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

// Whether the spooler is restarted after parked printers were put back, so that it takes
// their ports at once; at the end of the session the next start takes them.
enum class SpoolerAfterRestore { Restart, LeaveForNextStart };

// However the dialog ends while the serial search has the COM printers parked: stops the
// probe and puts each of them back on its own port, as the search's end does (the printer
// being installed back on the port it was created on). Nothing when none is parked.
void restoreParkedPrinters(DialogContext& context, SpoolerAfterRestore spooler);

}  // namespace setup
