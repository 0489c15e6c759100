#pragma once

#include <string>

namespace setup {

struct DialogContext;
struct SerialSettings;

// Puts a port into a printer's registry state, where the spooler takes it from when it
// starts, and marks the printer offline in the current hardware profile. A key that cannot
// be opened is passed over; a value that cannot be written is said in a message box. True
// when the port reached the key the spooler starts from.
bool writePrinterPort(DialogContext& context, const std::string& printer, const std::string& port);

// Writes the line settings of a serial port ("COM3:") into the system's Ports key as
// "19200,n,8,1". A key that cannot be opened is passed over.
void writePortSettings(DialogContext& context, const std::string& port, const SerialSettings& settings);

// Restarts the spooler, so that it takes the ports written into the printers' keys. False,
// said and noted, when the spooler did not come back.
bool restartSpooler(DialogContext& context);

}  // namespace setup
