#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run_log.h"
#include "platform/main_window.h"

namespace setup {

class MainDialog;

// The main dialog's view as a command line shapes it. It stands between the dialog and the
// window it is shown in: everything passes through, the status texts and the boxes go to
// the log, and once preparation is done the command line's choices are preselected. In a
// quiet run the window is never shown and nobody answers: the boxes, the port dialogs and
// the serial prompt get their answers from fixed rules here, and the view presses Install
// and then "&Finish" as a user would. The dialog and its operations do not know the
// difference.
class UnattendedView : public MainWindow, public MainWindowEvents {
public:
    UnattendedView(MainWindow& window, const CommandLineOptions& options, RunLog& log, Platform& system);
    // A quiet run looks at what is installed already (and with /force installs all the same).
    void attach(MainDialog& dialog);

    // The command line asked for what this machine or package does not offer.
    bool choiceRefused() const { return choiceRefused_; }

    // --- MainWindowEvents: from the window to the dialog ---
    bool onInitDialog() override;
    int onUpdateData(std::intptr_t wParam) override;
    void onSerialByte(int byte, int port) override;
    void onDriverSelectionChanged() override;
    void onInstallClicked() override;
    void onCancel() override;
    void onClose() override;
    void onTimer(std::uintptr_t timerId) override;
    void onDestroy() override;
    void onEndSession() override;

    // --- MainWindow: from the dialog to the window ---
    Handle window() override { return window_.window(); }
    int sendUpdateData(std::intptr_t wParam) override { return window_.sendUpdateData(wParam); }
    void setStatusLine(const std::string& text) override;
    std::string statusLine() override { return window_.statusLine(); }
    void setDefaultPrinterBox(bool ticked) override { window_.setDefaultPrinterBox(ticked); }
    bool defaultPrinterBox() override { return window_.defaultPrinterBox(); }
    void driverListReset() override;
    void driverListAdd(const std::string& name) override;
    void driverListSelect(int index) override { window_.driverListSelect(index); }
    int driverListSelection() override { return window_.driverListSelection(); }
    std::string driverListText() override { return window_.driverListText(); }
    void setPrinterName(const std::string& name) override { window_.setPrinterName(name); }
    std::string printerName() override { return window_.printerName(); }
    void portListDeleteAllItems() override { window_.portListDeleteAllItems(); }
    int portListColumnCount() override { return window_.portListColumnCount(); }
    void portListDeleteColumn(int column) override { window_.portListDeleteColumn(column); }
    std::uint32_t portListExtendedStyle() override { return window_.portListExtendedStyle(); }
    void setPortListExtendedStyle(std::uint32_t style) override { window_.setPortListExtendedStyle(style); }
    void portListInsertColumn(int column, const std::string& heading, int widthPixels) override {
        window_.portListInsertColumn(column, heading, widthPixels);
    }
    void portListInsertRow(int row, const std::string& text) override { window_.portListInsertRow(row, text); }
    void portListSetText(int row, int column, const std::string& text) override {
        window_.portListSetText(row, column, text);
    }
    int portListRowCount() override { return window_.portListRowCount(); }
    void portListSelect(int row) override { window_.portListSelect(row); }
    bool portListIsSelected(int row) override { return window_.portListIsSelected(row); }
    void enableInstall(bool enabled) override;
    std::string installCaption() override { return window_.installCaption(); }
    void setInstallCaption(const std::string& caption) override { window_.setInstallCaption(caption); }
    void enableCancel(bool enabled) override { window_.enableCancel(enabled); }
    void setProgress(int position) override { window_.setProgress(position); }
    int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
    void endDialog(int result) override { window_.endDialog(result); }
    int runPortDialog(int resourceId, PortDialogEvents& events) override;
    void setTimer(std::uintptr_t timerId, std::uint32_t milliseconds) override {
        window_.setTimer(timerId, milliseconds);
    }
    void killTimer(std::uintptr_t timerId) override { window_.killTimer(timerId); }
    int runSerialPrompt(SerialPromptEvents& events) override;
    void postToDialog(std::function<void()> task) override { window_.postToDialog(std::move(task)); }
    void sendSerialMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        window_.sendSerialMessage(message, wParam, lParam);
    }
    void waitServing(WorkerThread& worker) override { window_.waitServing(worker); }

    // Logs a box and the answer it got; the port dialogs' boxes come here too.
    int answerBox(const std::string& text, const std::string& caption, std::uint32_t style,
                  MainWindow* user);

private:
    // After preparation: the command line's choices, and Install in a quiet run.
    void firstStep();
    // After each Install of a quiet run: "&Finish", or the end of a run that cannot go on.
    void nextStep();
    void post(void (UnattendedView::*step)());
    void preselect();
    void selectPrinter(const std::string& name);
    void choosePort();
    // The command line asks for something this machine or package does not offer.
    void refuseChoice(const std::string& why);
    // Preparation did not unpack the package: why, in the log.
    void logMissingPackage();
    // From the package's listing: false when the printer is installed from this package as
    // asked, which is then said in the log.
    bool unpackNeeded(const std::vector<ArchiveEntry>& entries);
    // A quiet run that cannot go on ends as the close box would end it.
    void stop(const std::string& why);

    MainWindow& window_;
    const CommandLineOptions& options_;
    RunLog& log_;
    Platform& system_;
    FileSystem& files_;
    MainDialog* dialog_ = nullptr;
    std::vector<std::string> driverNames_;
    std::string lastStatus_;
    std::atomic<bool> stepPending_{false};
    std::atomic<bool> installEnabledOnce_{false};
    bool finishing_ = false;
    bool choiceRefused_ = false;
};

// The answer a quiet run gives a message box of that style: Cancel where the box has it, No
// to a Yes/No question (nothing is replaced unattended), else OK.
int unattendedAnswer(std::uint32_t style);

}  // namespace setup
