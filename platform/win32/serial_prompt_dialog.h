#pragma once

#include <windows.h>

#include "platform/main_window.h"

namespace setup::win32 {

// Runs dialog 136 modally over the owner: fills its controls from the dialog's
// initialisation data, hands "&Yes", "&No" and the initialisation to the events, and ends
// with IDOK or IDCANCEL on Enter, Escape and the close box, as a dialog does by default.
int runSerialPromptDialog(HWND owner, SerialPromptEvents& events);

// Sends the records of a dialog's initialisation data (resource type 240) to its controls:
// each a control id, a message (LB_ADDSTRING and CB_ADDSTRING by their 16-bit values), the
// length of the text and the text.
void applyDialogInit(HWND dialog, int resourceId);

}  // namespace setup::win32
