#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_window.h"

namespace setup::sim {

// A message box as the user saw it.
struct ShownMessageBox {
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
};

// How the user leaves the serial prompt.
struct SimPromptAnswer {
    enum How { Yes, No, Escape, Enter, CloseBox } how = Yes;
    int entry = -1;  // the baud-list entry chosen first; -1 keeps the preselection
};

// One notification a serial line sent to the dialog.
struct SimSerialMessage {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// One row of the port-type list.
struct PortRow {
    std::vector<std::string> texts;
    bool selected = false;
};

// What the user does in a port dialog: click a row or the list's empty area, press a button
// or key, or the close box; or what happens on the machine meanwhile (another program
// deletes a port, an adapter is unplugged).
struct PortDialogStep {
    enum Kind { SelectRow, SelectNone, Press, CloseBox, Meanwhile } kind = CloseBox;
    int row = -1;
    PortDialogCommand command = PortDialogCommand::Ok;
    std::function<void()> happening;

    static PortDialogStep select(int row) { return {SelectRow, row, PortDialogCommand::Ok, {}}; }
    static PortDialogStep selectNone() { return {SelectNone, -1, PortDialogCommand::Ok, {}}; }
    static PortDialogStep press(PortDialogCommand command) { return {Press, -1, command, {}}; }
    static PortDialogStep closeBox() { return {CloseBox, -1, PortDialogCommand::Ok, {}}; }
    static PortDialogStep meanwhile(std::function<void()> happening) {
        return {Meanwhile, -1, PortDialogCommand::Ok, std::move(happening)};
    }
};

// A port dialog as the user saw it.
struct ShownPortDialog {
    int resourceId = 0;
    Handle window = 0;
    std::vector<std::pair<std::string, int>> columns;  // as last filled: heading, width
    std::uint32_t listStyle = 0;
    std::vector<std::vector<PortRow>> views;  // the list when it opened and after each step
    std::vector<ShownMessageBox> messageBoxes;
    int result = 0;
};

// The main dialog on a simulated desktop. It has a thread of its own that plays the
// dialog's thread: window events run there, and other threads reach it synchronously, as
// SendMessageA does. A scripted user answers message boxes.
class SimMainWindow : public MainWindow {
public:
    SimMainWindow() = default;
    ~SimMainWindow() override;

    // Creates the dialog (WM_INITDIALOG on the dialog's thread) and runs it until it ends;
    // then destroys it (WM_DESTROY) and the thread ends.
    void open(MainWindowEvents& events);
    // Connects the window to the program without creating it yet: what the program sends
    // to it is handled at once on the caller's thread.
    void attach(MainWindowEvents& events) { events_ = &events; }
    // Runs an action on the dialog's thread and waits for it, as a user's click would be
    // handled there.
    void onDialogThread(const std::function<void()>& action);
    void clickInstall() { onDialogThread([this] { events_->onInstallClicked(); }); }
    void clickCancel() { onDialogThread([this] { events_->onCancel(); }); }
    void clickCloseBox() { onDialogThread([this] { events_->onClose(); }); }
    // The user logs off or shuts down: the dialog is told, and the process ends without
    // the dialog being destroyed.
    void endSession() { onDialogThread([this] { events_->onEndSession(); }); }
    void chooseDriver(int index);
    void choosePortRow(std::optional<int> row);
    void tickDefaultPrinterBox(bool ticked);
    // Waits until the condition holds (checked on the dialog's thread); false on timeout.
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits until the dialog was destroyed and its thread ended.
    bool waitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // The user's answers to the next message boxes, in order; when none is left a box is
    // answered with its first button.
    std::deque<int> answers;
    // The user's answers to the next serial prompts; when none is left, "&Yes" at once.
    std::deque<SimPromptAnswer> promptAnswers;
    // The baud list of the serial prompt, as its resource fills it.
    static const std::vector<std::string> baudEntries;

    // What the user sees (read them on the test thread once the dialog is idle).
    std::vector<std::string> statusHistory;
    // Every change of the status line and of the Install button, in the order the user saw
    // them: "status <text>", "install on", "install off", "caption <text>".
    std::vector<std::string> controlLog;
    std::string status;
    bool defaultPrinterTicked = false;
    std::vector<std::string> driverList;
    int driverSelection = -1;
    std::string printerNameText;
    std::vector<std::pair<std::string, int>> portColumns;
    std::vector<PortRow> portRows;
    std::uint32_t portListStyle = 0;
    bool installEnabled = false;
    std::string installText = "&Install";
    bool cancelEnabled = true;
    std::vector<int> progressHistory;
    std::vector<ShownMessageBox> messageBoxes;
    std::optional<int> endResult;
    bool destroyed = false;
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> timersSet;
    std::vector<std::uintptr_t> timersKilled;
    std::vector<int> promptPreselections;  // the baud entry selected when each prompt opened
    std::vector<SimSerialMessage> serialMessages;

    // The user's steps in each port dialog, one script per dialog in the order they are shown
    // (sim_port_dialog.cpp). Once a script is used up the user presses the close box.
    std::deque<std::vector<PortDialogStep>> portDialogScripts;
    std::vector<ShownPortDialog> portDialogs;

    // --- MainWindow ---
    Handle window() override { return 0x7001; }
    int sendUpdateData(std::intptr_t wParam) override;
    void setStatusLine(const std::string& text) override;
    std::string statusLine() override;
    void setDefaultPrinterBox(bool ticked) override;
    bool defaultPrinterBox() override;
    void driverListReset() override;
    void driverListAdd(const std::string& name) override;
    void driverListSelect(int index) override;
    int driverListSelection() override;
    std::string driverListText() override;
    void setPrinterName(const std::string& name) override;
    std::string printerName() override;
    void portListDeleteAllItems() override;
    int portListColumnCount() override;
    void portListDeleteColumn(int column) override;
    std::uint32_t portListExtendedStyle() override;
    void setPortListExtendedStyle(std::uint32_t style) override;
    void portListInsertColumn(int column, const std::string& heading, int widthPixels) override;
    void portListInsertRow(int row, const std::string& text) override;
    void portListSetText(int row, int column, const std::string& text) override;
    int portListRowCount() override;
    void portListSelect(int row) override;
    bool portListIsSelected(int row) override;
    void enableInstall(bool enabled) override;
    std::string installCaption() override;
    void setInstallCaption(const std::string& caption) override;
    void enableCancel(bool enabled) override;
    void setProgress(int position) override;
    int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
    void endDialog(int result) override;
    int runPortDialog(int resourceId, PortDialogEvents& events) override;
    void setTimer(std::uintptr_t timerId, std::uint32_t milliseconds) override;
    void killTimer(std::uintptr_t timerId) override;
    int runSerialPrompt(SerialPromptEvents& events) override;
    void postToDialog(std::function<void()> task) override;
    void sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void waitServing(WorkerThread& worker) override;

private:
    struct RunningTimer {
        std::chrono::milliseconds interval;
        std::chrono::steady_clock::time_point due;
    };
    // Delivers WM_TIMER of a timer that is due while nothing else is queued; false when none is.
    bool fireDueTimer(std::unique_lock<std::mutex>& lock);
    std::chrono::milliseconds untilNextTimer() const;

    // Runs a task on the dialog's thread; from the dialog's thread itself, at once.
    void send(const std::function<void()>& task);
    void runDialog();
    bool onDialogThreadNow() const { return std::this_thread::get_id() == dialogThreadId_; }
    // Runs queued tasks until the queue is empty (called on the dialog's thread).
    bool serveOne(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds wait);

    MainWindowEvents* events_ = nullptr;
    std::thread thread_;
    std::thread::id dialogThreadId_;
    std::mutex queueLock_;
    std::condition_variable queueChanged_;
    std::deque<std::function<void()>> queue_;
    std::map<std::uintptr_t, RunningTimer> timers_;
    bool ended_ = false;
    bool closed_ = false;
    std::recursive_mutex controls_;
};

// A window with nothing of the program behind it, for exercising a serial line on its own:
// it counts the bytes it is sent and ends when its close box is clicked.
struct SimQuietEvents : MainWindowEvents {
    explicit SimQuietEvents(MainWindow& window) : window(window) {}
    MainWindow& window;
    std::atomic<int> bytes{0};
    bool onInitDialog() override { return true; }
    int onUpdateData(std::intptr_t) override { return 1; }
    void onSerialByte(int, int) override { ++bytes; }
    void onDriverSelectionChanged() override {}
    void onInstallClicked() override {}
    void onCancel() override {}
    void onClose() override { window.endDialog(message_box::idCancel); }
    void onTimer(std::uintptr_t) override {}
    void onDestroy() override {}
    void onEndSession() override {}
};

}  // namespace setup::sim
