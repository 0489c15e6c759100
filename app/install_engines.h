#pragma once

namespace setup {

class MainDialog;

// The two installation engines the Install handler dispatches to. Each works on the main
// dialog's members and reports through its status line and message boxes.
class InstallEngines {
public:
    virtual ~InstallEngines() = default;
    virtual void installReceipt(MainDialog& dialog) = 0;
    virtual void installLabel(MainDialog& dialog) = 0;
};

}  // namespace setup
