#pragma once

#include <cstdint>
#include <string>

#include "context/dialog_context.h"

namespace setup {

// The pause before the tail's finish after each engine.
constexpr std::uint32_t receiptFinishPauseMs = 500;
constexpr std::uint32_t labelFinishPauseMs = 100;

// After the driver is registered: creates the printer on the chosen port (replacing one of
// the same name), makes it the default printer when the box is ticked, finds the port of a
// USB or serial printer and finishes the dialog. A printer the installation keeps
// (values.keptPrinter) stays as it is, on its port, without a search: only the default
// printer is set when asked.
void finishInstallation(DialogContext& context, const std::string& printerName, const std::string& displayName,
                        std::uint32_t pauseMs);

// The printer is there as asked: the dialog finishes with nothing changed, the printer on
// its port.
void finishUnchanged(DialogContext& context, const std::string& port);

}  // namespace setup
