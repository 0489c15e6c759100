#pragma once

#include <string>

namespace setup {

// Why the spooler could not take this printer name (a reason the installer says after
// "The printer name ... cannot be used: "); nothing when it can. The installer asks it
// before installing, the package checker of every name the printer-name list offers.
const char* printerNameProblem(const std::string& printerName);

}  // namespace setup
