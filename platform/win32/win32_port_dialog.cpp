// The port dialogs: their resource run modally over the main dialog, their messages handed to
// PortDialogEvents and their list reached with SendMessageA.
#include <windows.h>

#include <optional>

#include "platform/win32/handle_cast.h"
#include "platform/win32/list_view.h"
#include "platform/win32/win32_main_window.h"

namespace setup::win32 {

namespace {

// The command of a button click; IDOK and IDCANCEL come from Enter and Escape, since none of
// the dialog's buttons carries them.
std::optional<PortDialogCommand> commandOf(int control) {
    switch (control) {
        case IDC_PORT_DIALOG_OK: return PortDialogCommand::Ok;
        case IDC_PORT_DIALOG_CANCEL: return PortDialogCommand::Cancel;
        case IDC_ADD_PORT: return PortDialogCommand::AddPort;
        case IDC_CONFIGURE_PORT: return PortDialogCommand::ConfigurePort;
        case IDC_DELETE_PORT: return PortDialogCommand::DeletePort;
        case IDOK: return PortDialogCommand::EnterKey;
        case IDCANCEL: return PortDialogCommand::EscapeKey;
        default: return std::nullopt;
    }
}

class Win32PortDialog : public PortDialogWindow {
public:
    explicit Win32PortDialog(PortDialogEvents& events) : events_(events) {}

    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<Win32PortDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
        return self->dispatch(dialog, message, wParam) ? TRUE : FALSE;
    }

    Handle window() override { return toHandle(dialog_); }
    void listDeleteAllRows() override { list_view::deleteAllItems(list()); }
    int listColumnCount() override { return list_view::columnCount(list()); }
    void listDeleteColumn(int column) override { list_view::deleteColumn(list(), column); }
    std::uint32_t listExtendedStyle() override { return list_view::extendedStyle(list()); }
    void setListExtendedStyle(std::uint32_t style) override { list_view::setExtendedStyle(list(), style); }
    void listInsertColumn(int column, const std::string& heading, int widthPixels) override {
        list_view::insertColumn(list(), column, heading, widthPixels);
    }
    int listInsertRow(int row, const std::string& text) override { return list_view::insertItem(list(), row, text); }
    void listSetText(int row, int column, const std::string& text) override {
        list_view::setItemText(list(), row, column, text);
    }
    std::string listText(int row, int column) override { return list_view::itemText(list(), row, column); }
    int listRowCount() override { return list_view::itemCount(list()); }
    void listSelect(int row) override { list_view::select(list(), row); }
    bool listIsSelected(int row) override { return list_view::isSelected(list(), row); }
    int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) override {
        return MessageBoxA(dialog_, text.c_str(), caption.c_str(), style);
    }
    void endDialog(int result) override { EndDialog(dialog_, result); }

private:
    HWND list() { return GetDlgItem(dialog_, IDC_PORT_DIALOG_LIST); }

    bool dispatch(HWND dialog, UINT message, WPARAM wParam) {
        switch (message) {
            case WM_INITDIALOG:
                dialog_ = dialog;
                events_.onInit(*this);
                return true;  // the system puts the focus on the list, the first control
            case WM_COMMAND: {
                std::optional<PortDialogCommand> command = commandOf(LOWORD(wParam));
                if (HIWORD(wParam) != BN_CLICKED || !command) return false;
                events_.onCommand(*this, *command);
                return true;
            }
            case WM_CLOSE:
                events_.onClose(*this);
                return true;
            default:
                return false;
        }
    }

    PortDialogEvents& events_;
    HWND dialog_ = nullptr;
};

}  // namespace

int Win32MainWindow::runPortDialog(int resourceId, PortDialogEvents& events) {
    Win32PortDialog dialog(events);
    return static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId),
                                            fromHandle<HWND>(window()), Win32PortDialog::procedure,
                                            reinterpret_cast<LPARAM>(&dialog)));
}

}  // namespace setup::win32
