#pragma once

#include "context/install_engines.h"

namespace setup {

// Stands in for the driver installation engines until they exist: it says plainly that
// the chosen driver cannot be installed by this build and leaves Install usable.
class EnginesNotBuilt : public InstallEngines {
public:
    void installReceipt(DialogContext& context) override;
    void installLabel(DialogContext& context) override;
};

}  // namespace setup
