#include "platform/win32/win32_main_window.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/main_dialog_ids.h"
#include "platform/win32/serial_prompt_dialog.h"

namespace setup::win32 {

namespace {

constexpr UINT wmSerialByte = WM_USER + 7;

HWND dialogWindow(Handle dialog) {
    return fromHandle<HWND>(dialog);
}

INT_PTR CALLBACK mainDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* window = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (window == nullptr) return FALSE;  // messages before WM_INITDIALOG

    std::intptr_t result = 0;
    if (!window->dispatch(toHandle(dialog), message, wParam, lParam, result)) return FALSE;
    // WM_INITDIALOG answers through the return value; every other message through
    // DWLP_MSGRESULT, which is what SendMessage returns to the sender.
    if (message == WM_INITDIALOG) return result;
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

void initCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

}  // namespace

RegisteredMessage::RegisteredMessage(const char* name) : id_(RegisterWindowMessageA(name)) {}

Win32MainWindow::Win32MainWindow(const RegisteredMessage& updateMessage) : updateMessage_(updateMessage.id()) {}

std::intptr_t Win32MainWindow::run(MainWindowEvents& events) {
    initCommonControls();
    events_ = &events;
    std::intptr_t result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN_DIALOG), nullptr,
                                           mainDialogProcedure, reinterpret_cast<LPARAM>(this));
    events_ = nullptr;
    dialog_ = 0;
    return result;
}

bool Win32MainWindow::dispatch(Handle dialog, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam,
                               std::intptr_t& result) {
    if (message == updateMessage_) {
        result = events_->onUpdateData(static_cast<std::intptr_t>(wParam));
        return true;
    }
    switch (message) {
        case WM_INITDIALOG:
            dialog_ = dialog;
            result = events_->onInitDialog() ? TRUE : FALSE;
            return true;
        case wmSerialByte:
            events_->onSerialByte(static_cast<int>(wParam), static_cast<int>(lParam));
            result = 0;
            return true;
        case WM_COMMAND:
            return dispatchCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_CLOSE:
            events_->onClose();
            return true;
        case WM_TIMER:
            events_->onTimer(wParam);
            return true;
        case WM_DESTROY:
            events_->onDestroy();
            return false;  // the default destroy handling follows
        default:
            return false;
    }
}

bool Win32MainWindow::dispatchCommand(int control, int notification) {
    if (control == IDC_DRIVER_LIST && notification == CBN_SELCHANGE) {
        events_->onDriverSelectionChanged();
        return true;
    }
    if (control == IDC_INSTALL && notification == BN_CLICKED) {
        events_->onInstallClicked();
        return true;
    }
    if (control == IDCANCEL) {
        events_->onCancel();
        return true;
    }
    return false;
}

std::intptr_t Win32MainWindow::send(int control, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    return SendDlgItemMessageA(dialogWindow(dialog_), control, message, wParam, lParam);
}

std::string Win32MainWindow::controlText(int control) {
    auto length = send(control, WM_GETTEXTLENGTH);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    auto copied = send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

void Win32MainWindow::setControlText(int control, const std::string& text) {
    send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

Handle Win32MainWindow::window() {
    return dialog_;
}

int Win32MainWindow::sendUpdateData(std::intptr_t wParam) {
    return static_cast<int>(SendMessageA(dialogWindow(dialog_), updateMessage_, static_cast<WPARAM>(wParam), 0));
}

void Win32MainWindow::setStatusLine(const std::string& text) {
    setControlText(IDC_STATUS_LINE, text);
}

std::string Win32MainWindow::statusLine() {
    return controlText(IDC_STATUS_LINE);
}

void Win32MainWindow::setDefaultPrinterBox(bool ticked) {
    send(IDC_DEFAULT_PRINTER, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32MainWindow::defaultPrinterBox() {
    return send(IDC_DEFAULT_PRINTER, BM_GETCHECK) == BST_CHECKED;
}

void Win32MainWindow::driverListReset() {
    send(IDC_DRIVER_LIST, CB_RESETCONTENT);
}

void Win32MainWindow::driverListAdd(const std::string& name) {
    send(IDC_DRIVER_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void Win32MainWindow::driverListSelect(int index) {
    send(IDC_DRIVER_LIST, CB_SETCURSEL, static_cast<WPARAM>(index));
}

int Win32MainWindow::driverListSelection() {
    return static_cast<int>(send(IDC_DRIVER_LIST, CB_GETCURSEL));
}

std::string Win32MainWindow::driverListText() {
    return controlText(IDC_DRIVER_LIST);
}

void Win32MainWindow::setPrinterName(const std::string& name) {
    setControlText(IDC_PRINTER_NAME, name);
}

std::string Win32MainWindow::printerName() {
    return controlText(IDC_PRINTER_NAME);
}

void Win32MainWindow::portListDeleteAllItems() {
    send(IDC_PORT_TYPE_LIST, LVM_DELETEALLITEMS);
}

int Win32MainWindow::portListColumnCount() {
    auto header = reinterpret_cast<HWND>(send(IDC_PORT_TYPE_LIST, LVM_GETHEADER));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

void Win32MainWindow::portListDeleteColumn(int column) {
    send(IDC_PORT_TYPE_LIST, LVM_DELETECOLUMN, static_cast<WPARAM>(column));
}

std::uint32_t Win32MainWindow::portListExtendedStyle() {
    return static_cast<std::uint32_t>(send(IDC_PORT_TYPE_LIST, LVM_GETEXTENDEDLISTVIEWSTYLE));
}

void Win32MainWindow::setPortListExtendedStyle(std::uint32_t style) {
    send(IDC_PORT_TYPE_LIST, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

void Win32MainWindow::portListInsertColumn(int column, const std::string& heading, int widthPixels) {
    LVCOLUMNA description{};
    description.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    description.fmt = LVCFMT_LEFT;
    description.cx = widthPixels;
    description.pszText = const_cast<char*>(heading.c_str());
    send(IDC_PORT_TYPE_LIST, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&description));
}

void Win32MainWindow::portListInsertRow(int row, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    send(IDC_PORT_TYPE_LIST, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32MainWindow::portListSetText(int row, int column, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    send(IDC_PORT_TYPE_LIST, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int Win32MainWindow::portListRowCount() {
    return static_cast<int>(send(IDC_PORT_TYPE_LIST, LVM_GETITEMCOUNT));
}

void Win32MainWindow::portListSelect(int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED;
    send(IDC_PORT_TYPE_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool Win32MainWindow::portListIsSelected(int row) {
    return (send(IDC_PORT_TYPE_LIST, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void Win32MainWindow::enableInstall(bool enabled) {
    EnableWindow(GetDlgItem(dialogWindow(dialog_), IDC_INSTALL), enabled ? TRUE : FALSE);
}

std::string Win32MainWindow::installCaption() {
    return controlText(IDC_INSTALL);
}

void Win32MainWindow::setInstallCaption(const std::string& caption) {
    setControlText(IDC_INSTALL, caption);
}

void Win32MainWindow::enableCancel(bool enabled) {
    EnableWindow(GetDlgItem(dialogWindow(dialog_), IDCANCEL), enabled ? TRUE : FALSE);
}

void Win32MainWindow::setProgress(int position) {
    send(IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position));
}

int Win32MainWindow::messageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
    return MessageBoxA(dialogWindow(dialog_), text.c_str(), caption.c_str(), style);
}

void Win32MainWindow::endDialog(int result) {
    EndDialog(dialogWindow(dialog_), result);
}

void Win32MainWindow::setTimer(std::uintptr_t timerId, std::uint32_t milliseconds) {
    SetTimer(dialogWindow(dialog_), timerId, milliseconds, nullptr);
}

void Win32MainWindow::killTimer(std::uintptr_t timerId) {
    KillTimer(dialogWindow(dialog_), timerId);
}

void waitServingSentMessages(WorkerThread& worker) {
    while (!worker.finished()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void Win32MainWindow::waitServing(WorkerThread& worker) {
    waitServingSentMessages(worker);
}

void Win32MainWindow::sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    SendMessageA(dialogWindow(dialog_), message, wParam, lParam);
}

int Win32MainWindow::runSerialPrompt(SerialPromptEvents& events) {
    return runSerialPromptDialog(dialogWindow(dialog_), events);
}

}  // namespace setup::win32
