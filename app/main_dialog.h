#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/install_engines.h"
#include "config/build_config.h"
#include "package/archive_library.h"
#include "platform/main_window.h"
#include "platform/platform.h"

namespace setup {

// Port kinds: the rows of the port-type list.
enum PortKind : int { portKindSerial = 0, portKindUsb = 1, portKindParallel = 2, portKindTcpIp = 3 };

// The port names the spooler and the serial device map report, sorted by kind.
struct PortLists {
    std::vector<std::string> all;
    std::vector<std::string> usb;
    std::vector<std::string> serial;
    std::vector<std::string> parallel;
    std::vector<std::string> tcpIp;

    void clear();
    // The list of a port kind; null for a kind outside serial..TCP/IP.
    const std::vector<std::string>* ofKind(int portKind) const;
};

// Serial line settings used while looking for a serial printer.
struct SerialSettings {
    int baudRate = 19200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int eventMask = 3;
};

// The four receipt groups, in driver-index order.
struct GroupSizes {
    int group1 = 0, group2 = 0, group3 = 0, group4 = 0;
    int receiptCount() const { return group1 + group2 + group3 + group4; }
};

// The program's one window. It owns every value the installation shares, runs the
// preparation thread at start and dispatches Install to the receipt or label engine.
class MainDialog : public MainWindowEvents {
public:
    MainDialog(Platform& platform, const BuildConfig& config, MainWindow& window, InstallEngines& engines);
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

    // Sets the status text and shows it (from any thread; returns once it is shown).
    void statusStep(const std::string& text);
    // Copies the members to the controls.
    void refresh();

    Platform& platform() { return platform_; }
    const BuildConfig& config() const { return config_; }
    MainWindow& window() { return window_; }
    // True once the dialog is being destroyed: long waits give up early.
    bool closing() const { return closing_.load(); }

    // Members the installation shares.
    int setDefaultPrinter = 1;
    std::string statusText;
    GroupSizes groupSizes;
    std::optional<int> driverIndex;
    std::optional<int> portKind;
    PortLists ports;
    std::string chosenPort;
    // Whether the chosen kind's port list had a port at the last Install.
    bool portsFound = true;
    bool is64Bit = false;
    int answered = 0;
    int portNumber = 0;
    SerialSettings serialSettings;
    int probeIndex = 0;
    ArchiveLibrary archiveLibrary;
    // The port kind the last port enumeration preselected.
    int preferredPortKind = portKindUsb;

private:
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
    std::unique_ptr<WorkerThread> preparation_;
    std::atomic<bool> closing_{false};
    std::mutex statusLock_;
};

}  // namespace setup
