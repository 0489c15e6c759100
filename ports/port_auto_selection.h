#pragma once

#include <string>

#include "context/dialog_context.h"

namespace setup {

// Finds the USB port the printer is on (receipt and label installs on a USB port).
void selectUsbPort(DialogContext& context, const std::string& printerName);

}  // namespace setup
