#include "platform/win32/win32_main_window.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "config/main_dialog_ids.h"
#include "platform/win32/handle_cast.h"
#include "platform/win32/list_view.h"
#include "platform/win32/serial_prompt_dialog.h"

namespace setup::win32 {

namespace {

constexpr UINT wmSerialByte = WM_USER + 7;
// A task posted to the dialog's thread; lParam holds it.
constexpr UINT wmPostedTask = WM_APP + 1;

HWND dialogWindow(Handle dialog) {
    return fromHandle<HWND>(dialog);
}

HWND portTypeList(Handle dialog) {
    return GetDlgItem(dialogWindow(dialog), IDC_PORT_TYPE_LIST);
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

Result<std::intptr_t> Win32MainWindow::run(MainWindowEvents& events) {
    initCommonControls();
    events_ = &events;
    SetLastError(ERROR_SUCCESS);
    std::intptr_t result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN_DIALOG), nullptr,
                                           mainDialogProcedure, reinterpret_cast<LPARAM>(this));
    const DWORD error = GetLastError();
    const bool created = dialog_ != 0;
    events_ = nullptr;
    dialog_ = 0;
    // -1, or a dialog that never got WM_INITDIALOG: no window was made.
    if (result == -1 || !created) return Result<std::intptr_t>::failure(error);
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
        case wmPostedTask: {
            std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
            (*task)();
            return true;
        }
        case WM_WINDOWPOSCHANGING:
            // The dialog manager shows a modal dialog by itself; a hidden one refuses.
            if (hidden_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
            return false;
        case WM_TIMER:
            events_->onTimer(wParam);
            return true;
        case WM_DESTROY:
            events_->onDestroy();
            return false;  // the default destroy handling follows
        case WM_ENDSESSION:
            // The process ends after this returns, without WM_DESTROY.
            if (wParam != FALSE) events_->onEndSession();
            result = 0;
            return true;
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
    list_view::deleteAllItems(portTypeList(dialog_));
}

int Win32MainWindow::portListColumnCount() {
    return list_view::columnCount(portTypeList(dialog_));
}

void Win32MainWindow::portListDeleteColumn(int column) {
    list_view::deleteColumn(portTypeList(dialog_), column);
}

std::uint32_t Win32MainWindow::portListExtendedStyle() {
    return list_view::extendedStyle(portTypeList(dialog_));
}

void Win32MainWindow::setPortListExtendedStyle(std::uint32_t style) {
    list_view::setExtendedStyle(portTypeList(dialog_), style);
}

void Win32MainWindow::portListInsertColumn(int column, const std::string& heading, int widthPixels) {
    list_view::insertColumn(portTypeList(dialog_), column, heading, widthPixels);
}

void Win32MainWindow::portListInsertRow(int row, const std::string& text) {
    list_view::insertItem(portTypeList(dialog_), row, text);
}

void Win32MainWindow::portListSetText(int row, int column, const std::string& text) {
    list_view::setItemText(portTypeList(dialog_), row, column, text);
}

int Win32MainWindow::portListRowCount() {
    return list_view::itemCount(portTypeList(dialog_));
}

void Win32MainWindow::portListSelect(int row) {
    list_view::select(portTypeList(dialog_), row);
}

bool Win32MainWindow::portListIsSelected(int row) {
    return list_view::isSelected(portTypeList(dialog_), row);
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

void Win32MainWindow::postToDialog(std::function<void()> task) {
    auto* posted = new std::function<void()>(std::move(task));
    if (!PostMessageA(dialogWindow(dialog_), wmPostedTask, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

int Win32MainWindow::runSerialPrompt(SerialPromptEvents& events) {
    return runSerialPromptDialog(dialogWindow(dialog_), events);
}

}  // namespace setup::win32
