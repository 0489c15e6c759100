#pragma once

#include <cstdint>

#include "platform/main_window.h"

namespace setup::win32 {

// The id of a window message registered by name (RegisterWindowMessageA). Define one at
// namespace scope so that the message is registered once, when the program loads.
class RegisteredMessage {
public:
    explicit RegisteredMessage(const char* name);
    unsigned int id() const { return id_; }

private:
    unsigned int id_;
};

// Waits on the calling thread until the worker has finished, delivering meanwhile the
// messages other threads send to this thread's windows (posted messages and input stay
// queued for the thread's own loop).
void waitServingSentMessages(WorkerThread& worker);

// The main dialog: resource 103 run modally, its messages handed to MainWindowEvents and its
// controls reached with SendMessageA, so that any thread may call these operations.
class Win32MainWindow : public MainWindow {
public:
    explicit Win32MainWindow(const RegisteredMessage& updateMessage);

    // Runs the dialog modally until it ends; returns the dialog's result, or the error
    // number when the dialog could not be created (no desktop to create it on, say).
    Result<std::intptr_t> run(MainWindowEvents& events);
    // The dialog of the next run is never shown: it works as ever, with nobody to see it.
    void keepHidden() { hidden_ = true; }

    Handle window() override;
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
    int runPortDialog(int resourceId, PortDialogEvents& events) override;  // win32_port_dialog.cpp
    void setTimer(std::uintptr_t timerId, std::uint32_t milliseconds) override;
    void killTimer(std::uintptr_t timerId) override;
    int runSerialPrompt(SerialPromptEvents& events) override;
    void postToDialog(std::function<void()> task) override;
    void sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void waitServing(WorkerThread& worker) override;

    // Dispatches one message of the dialog to the events; true when it was handled.
    bool dispatch(Handle dialog, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

private:
    std::intptr_t send(int control, unsigned int message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    std::string controlText(int control);
    void setControlText(int control, const std::string& text);
    bool dispatchCommand(int control, int notification);

    unsigned int updateMessage_;
    MainWindowEvents* events_ = nullptr;
    Handle dialog_ = 0;
    bool hidden_ = false;
};

}  // namespace setup::win32
