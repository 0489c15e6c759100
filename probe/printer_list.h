#pragma once

#include "context/dialog_context.h"
#include "platform/spooler.h"

namespace setup {

// Fills the two lists with the spooler's local and connected printers and their ports, in
// the spooler's order. True when at least one printer was listed; a failed enumeration
// returns false and leaves the lists as they were.
bool listPrinters(Spooler& spooler, PrinterLists& printers);

}  // namespace setup
