#pragma once

#include "context/dialog_context.h"

namespace setup {

// The two installation engines the Install handler dispatches to. Each works on the shared
// values and reports through the dialog's status line and message boxes.
class InstallEngines {
public:
    virtual ~InstallEngines() = default;
    virtual void installReceipt(DialogContext& context) = 0;
    virtual void installLabel(DialogContext& context) = 0;
};

}  // namespace setup
