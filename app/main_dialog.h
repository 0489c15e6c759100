#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "context/install_engines.h"
#include "config/build_config.h"
#include "package/archive_library.h"
#include "package/installer_lock.h"
#include "package/package_files.h"
#include "platform/main_window.h"
#include "platform/platform.h"
#include "ports/serial_line.h"
#include "ports/serial_search.h"

namespace setup {

// The program's one window. It owns every value the installation shares, runs the
// preparation thread at start and dispatches Install to the receipt or label engine.
class MainDialog : public MainWindowEvents, private DialogCalls {
public:
    // The notes go to the run's log; without one they go nowhere.
    MainDialog(Platform& platform, const BuildConfig& config, MainWindow& window, InstallEngines& engines,
               RunNotes* notes = nullptr);
    ~MainDialog() override;

    // Window events.
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

    // What the operations of the dialog work with.
    DialogContext& context() { return context_; }

    // Members the installation shares, and the status line's text.
    InstallValues values;
    std::string statusText;
    ArchiveLibrary archiveLibrary;
    PackageState package;
    // The dialog ended at once because another installer holds the machine.
    bool anotherInstallerRunning = false;
    // Preparation reached its end, and whether the package was unpacked then (the dialog's
    // end removes it again).
    std::atomic<bool> prepared{false};
    bool unpackedWhenPrepared = false;
    // The user ended the dialog: Cancel, Escape or the close box.
    bool closedByUser = false;
    // Asked with the package's listing before it is unpacked; unset, it always is.
    UnpackNeeded unpackNeeded;

private:
    // DialogCalls.
    void statusStep(const std::string& text) override;
    void refresh() override;
    void printerNameFollowsDriver() override;
    int appMessageBox(const std::string& text, std::uint32_t style) override;
    void closeConfirmed() override;
    bool closing() const override { return closing_.load(); }

    void refuseInstall(const std::string& message);
    void fillPortTypeList();
    void prepare();
    std::optional<int> selectedPortKind();
    void choosePort();
    std::optional<int> chooseDriverIndex();

    Platform& platform_;
    const BuildConfig& config_;
    MainWindow& window_;
    InstallEngines& engines_;
    InstallerLock installerLock_;
    std::unique_ptr<WorkerThread> preparation_;
    std::atomic<bool> closing_{false};
    std::mutex statusLock_;
    // The line the serial search probes with; the dialog's whole life long.
    SerialLine serialLine_;
    SerialSearch serialSearch_{serialLine_};
    NoRunNotes noNotes_;
    DialogContext context_;
};

}  // namespace setup
