#pragma once

#include <optional>
#include <string>

#include "context/dialog_context.h"
#include "platform/spooler.h"

namespace setup {

// Fills the two lists with the spooler's local and connected printers and their ports, in
// the spooler's order. True when at least one printer was listed; a failed enumeration
// returns false and leaves the lists as they were.
bool listPrinters(Spooler& spooler, PrinterLists& printers);

// The settings of the printer of that name: nothing when the spooler has none of that name
// (or will not open it); the error when it is there but its settings cannot be read.
Result<std::optional<PrinterRecord>> readPrinter(Spooler& spooler, const std::string& name);

}  // namespace setup
