#include "platform/win32/serial_prompt_dialog.h"

#include <cstring>

#include "config/serial_prompt_ids.h"

namespace setup::win32 {

namespace {

// Initialisation data names its two messages by their 16-bit Windows values.
constexpr WORD listAddString16 = WM_USER + 1;
constexpr WORD comboAddString16 = WM_USER + 3;

UINT initialisationMessage(WORD message) {
    if (message == listAddString16) return LB_ADDSTRING;
    if (message == comboAddString16) return CB_ADDSTRING;
    return message;
}

class PromptView : public SerialPromptView {
public:
    explicit PromptView(HWND dialog) : dialog_(dialog) {}
    void selectBaudEntry(int index) override { SendDlgItemMessageA(dialog_, IDC_BAUD_LIST, CB_SETCURSEL, index, 0); }
    int baudEntrySelection() override {
        return static_cast<int>(SendDlgItemMessageA(dialog_, IDC_BAUD_LIST, CB_GETCURSEL, 0, 0));
    }
    void end(int result) override { EndDialog(dialog_, result); }

private:
    HWND dialog_;
};

INT_PTR CALLBACK promptProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* events = reinterpret_cast<SerialPromptEvents*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (events == nullptr) return FALSE;
    PromptView view(dialog);
    switch (message) {
        case WM_INITDIALOG:
            applyDialogInit(dialog, IDD_SERIAL_PROMPT);
            events->onInit(view);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_SERIAL_YES: events->onYes(view); return TRUE;
                case IDC_SERIAL_NO: events->onNo(view); return TRUE;
                case IDOK:
                case IDCANCEL: EndDialog(dialog, LOWORD(wParam)); return TRUE;
                default: return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

int runSerialPromptDialog(HWND owner, SerialPromptEvents& events) {
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SERIAL_PROMPT), owner,
                                            promptProcedure, reinterpret_cast<LPARAM>(&events)));
}

void applyDialogInit(HWND dialog, int resourceId) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(RT_DIALOG_INIT));
    if (found == nullptr) return;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (data == nullptr) return;
    const DWORD size = SizeofResource(module, found);
    DWORD at = 0;
    // Records: WORD control, WORD message, DWORD length, then length bytes; a 0 control ends.
    while (at + 2 <= size) {
        WORD control = 0, message = 0;
        DWORD length = 0;
        std::memcpy(&control, data + at, 2);
        if (control == 0 || at + 8 > size) break;
        std::memcpy(&message, data + at + 2, 2);
        std::memcpy(&length, data + at + 4, 4);
        at += 8;
        if (length > size - at) break;
        // The text must end within the record: the control reads up to its NUL.
        if (length == 0 || data[at + length - 1] != '\0') break;
        SendDlgItemMessageA(dialog, control, initialisationMessage(message), 0, reinterpret_cast<LPARAM>(data + at));
        at += length;
    }
}

}  // namespace setup::win32
