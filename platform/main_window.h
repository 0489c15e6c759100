#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/port_dialog.h"
#include "platform/result.h"
#include "platform/serial_port.h"
#include "platform/system.h"

namespace setup {

// Message box styles and answers, as MessageBoxA knows them.
namespace message_box {
constexpr std::uint32_t ok = 0x0;
constexpr std::uint32_t okCancel = 0x1;
constexpr std::uint32_t yesNo = 0x4;
constexpr std::uint32_t retryCancel = 0x5;
constexpr std::uint32_t iconError = 0x10;
constexpr std::uint32_t iconQuestion = 0x20;
constexpr std::uint32_t iconWarning = 0x30;
constexpr std::uint32_t iconInformation = 0x40;
constexpr int idOk = 1;
constexpr int idCancel = 2;
constexpr int idRetry = 4;
constexpr int idYes = 6;
constexpr int idNo = 7;
}  // namespace message_box

// List-view extended styles the port-type list uses.
constexpr std::uint32_t listViewTrackSelect = 0x08;
constexpr std::uint32_t listViewGridLinesFullRowSelect = 0x21;

// What the main dialog's window delivers to the program, each on the dialog's thread.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual bool onInitDialog() = 0;                     // WM_INITDIALOG
    virtual int onUpdateData(std::intptr_t wParam) = 0;  // the registered update message
    virtual void onSerialByte(int byte, int port) = 0;   // WM_SERIAL_BYTE
    virtual void onDriverSelectionChanged() = 0;         // CBN_SELCHANGE of the driver list
    virtual void onInstallClicked() = 0;                 // BN_CLICKED of Install
    virtual void onCancel() = 0;                         // IDCANCEL: Cancel button, Esc
    virtual void onClose() = 0;                          // WM_CLOSE: the close box
    virtual void onTimer(std::uintptr_t timerId) = 0;    // WM_TIMER
    virtual void onDestroy() = 0;                        // WM_DESTROY
    virtual void onEndSession() = 0;                     // WM_ENDSESSION that ends the session
};

// The serial prompt (dialog 136) as the program drives it: its baud list and its end.
class SerialPromptView {
public:
    virtual ~SerialPromptView() = default;
    virtual void selectBaudEntry(int index) = 0;  // CB_SETCURSEL on the baud list (1034)
    virtual int baudEntrySelection() = 0;         // CB_GETCURSEL, -1 when nothing is selected
    virtual void end(int result) = 0;             // EndDialog
};

// A serial prompt with no controls on a screen: the baud list's selection (an entry outside
// the list's count selects nothing) and the result it ended with.
class SerialPromptRecord : public SerialPromptView {
public:
    explicit SerialPromptRecord(int entryCount) : entryCount_(entryCount) {}
    void selectBaudEntry(int index) override { selection = index >= 0 && index < entryCount_ ? index : -1; }
    int baudEntrySelection() override { return selection; }
    void end(int answer) override {
        if (!result) result = answer;
    }
    int selection = -1;
    std::optional<int> result;

private:
    int entryCount_;
};

// What the serial prompt delivers to the program, on the dialog's thread. The close box,
// Escape and Enter on the closed list end it with the platform's IDCANCEL or IDOK.
class SerialPromptEvents {
public:
    virtual ~SerialPromptEvents() = default;
    virtual void onInit(SerialPromptView& view) = 0;  // after the list was filled from the resource
    virtual void onYes(SerialPromptView& view) = 0;   // BN_CLICKED of "&Yes" (1030)
    virtual void onNo(SerialPromptView& view) = 0;    // BN_CLICKED of "&No" (1036)
};

// The main dialog's window and its controls. Every call may come from any thread; the
// implementation reaches the controls the way a Win32 program does (SendMessageA), so the
// work happens on the dialog's thread.
class MainWindow : public SerialLineOwner {
public:
    virtual ~MainWindow() = default;

    virtual Handle window() = 0;
    // Sends the registered update message to the dialog and returns its answer.
    virtual int sendUpdateData(std::intptr_t wParam) = 0;

    // Data exchange targets: the status line (1011) and the Set Default Printer box (1002).
    virtual void setStatusLine(const std::string& text) = 0;
    virtual std::string statusLine() = 0;
    virtual void setDefaultPrinterBox(bool ticked) = 0;
    virtual bool defaultPrinterBox() = 0;

    // The driver list (combo box 1000).
    virtual void driverListReset() = 0;
    virtual void driverListAdd(const std::string& name) = 0;
    virtual void driverListSelect(int index) = 0;
    virtual int driverListSelection() = 0;  // -1 when nothing is selected
    virtual std::string driverListText() = 0;

    // The printer-name edit (1001).
    virtual void setPrinterName(const std::string& name) = 0;
    virtual std::string printerName() = 0;

    // The port-type list (list view 1004).
    virtual void portListDeleteAllItems() = 0;
    virtual int portListColumnCount() = 0;
    virtual void portListDeleteColumn(int column) = 0;
    virtual std::uint32_t portListExtendedStyle() = 0;
    virtual void setPortListExtendedStyle(std::uint32_t style) = 0;
    virtual void portListInsertColumn(int column, const std::string& heading, int widthPixels) = 0;  // left-aligned
    virtual void portListInsertRow(int row, const std::string& text) = 0;
    virtual void portListSetText(int row, int column, const std::string& text) = 0;
    virtual int portListRowCount() = 0;
    // State LVIS_SELECTED with the mask LVIS_SELECTED | LVIS_FOCUSED.
    virtual void portListSelect(int row) = 0;
    virtual bool portListIsSelected(int row) = 0;

    // Install (1012), Cancel (2) and the progress bar (1007).
    virtual void enableInstall(bool enabled) = 0;
    virtual std::string installCaption() = 0;
    virtual void setInstallCaption(const std::string& caption) = 0;
    virtual void enableCancel(bool enabled) = 0;
    virtual void setProgress(int position) = 0;

    // A modal message box owned by the dialog; returns the answer (message_box::id*). Asked
    // while no dialog runs, the box is the program's own, with no owner.
    virtual int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) = 0;
    virtual void endDialog(int result) = 0;
    // Shows the port dialog of that resource modally, owned by the dialog, and returns its
    // result (-1 when it could not be shown). Called on the dialog's thread.
    virtual int runPortDialog(int resourceId, PortDialogEvents& events) = 0;
    virtual void setTimer(std::uintptr_t timerId, std::uint32_t milliseconds) = 0;
    virtual void killTimer(std::uintptr_t timerId) = 0;

    // Runs the serial prompt (dialog 136) modally over the dialog; returns its result.
    virtual int runSerialPrompt(SerialPromptEvents& events) = 0;

    // Queues the task for the dialog's thread and returns at once, as PostMessageA does: it
    // runs after the handler that is running now, like a click of the user's. A dialog that
    // has ended drops it.
    virtual void postToDialog(std::function<void()> task) = 0;

    // SerialLineOwner: sendSerialMessage sends to the dialog (SendMessageA); waitServing,
    // called on the dialog's thread, returns when the worker has finished, delivering to the
    // dialog meanwhile whatever the worker sends it, so that the worker cannot block on us.
};

}  // namespace setup
