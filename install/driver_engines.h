#pragma once

#include "context/install_engines.h"

namespace setup {

// The receipt engine (drivers on the system's universal printer driver) and the label
// engine (drivers with their own DLLs and a language monitor). Each stages its files in the
// spooler's driver folder, registers the driver and hands over to the installation tail.
class DriverEngines : public InstallEngines {
public:
    void installReceipt(DialogContext& context) override;
    void installLabel(DialogContext& context) override;
};

}  // namespace setup
