#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "install/driver_engines.h"
#include "platform/sim/sim_main_window.h"
#include "platform/sim/sim_windows.h"

namespace setup::test {

// Records which engine the Install handler chose, with the members it chose them with.
struct EngineSpy : InstallEngines {
    struct Call {
        std::string engine;
        int driverIndex;
        int portKind;
        std::string chosenPort;
        bool portsFound;
        bool installEnabled;  // the Install button while the engine runs
    };
    std::vector<Call> calls;
    sim::SimMainWindow* window = nullptr;
    void installReceipt(DialogContext& context) override { note("receipt", context); }
    void installLabel(DialogContext& context) override { note("label", context); }

private:
    void note(const char* engine, DialogContext& context) {
        const InstallValues& v = context.values;
        calls.push_back({engine, v.driverIndex.value_or(-99), v.portKind.value_or(-99), v.chosenPort, v.portsFound,
                         window->installEnabled});
        // Like an engine that stopped at a cancelled port dialog: Install usable again.
        context.window.enableInstall(true);
    }
};

// Keeps the lines the dialog's operations leave for the run's log.
struct NoteSpy : RunNotes {
    void note(const std::string& text) override {
        std::lock_guard<std::mutex> guard(lock);
        lines.push_back(text);
    }
    std::vector<std::string> taken() {
        std::lock_guard<std::mutex> guard(lock);
        return lines;
    }
    std::mutex lock;
    std::vector<std::string> lines;
};

// A folder of its own for each test's simulated drives.
struct TempRoot {
    TempRoot();
    ~TempRoot();
    std::filesystem::path path;
};

// Builds DriverName.cfg text from sections of printer names ("" stands for no key).
std::string driverNameFile(const std::vector<std::vector<std::string>>& sections);

// Puts DriverData.Drv in the machine's current directory; the archiver unpacks the given
// printer-name list and one driver file of each folder.
void providePackage(sim::SimWindows& machine, const std::string& driverNames);
// The same with every file the program's tables name and the printer-name list that gives
// each driver index its display name.
void provideFullPackage(sim::SimWindows& machine, Program program);

// A machine with the main dialog on it, its package beside the program.
struct Desktop {
    // With installEngines the dialog runs the real installation engines, else the spy.
    explicit Desktop(Program program = Program::MultiSetup, bool installEngines = false);
    ~Desktop();

    // Puts DriverData.Drv in the current directory and lets the archiver unpack the given
    // printer-name list and one driver file of each folder.
    void providePackage(const std::string& driverNames);
    // Puts a package with every file the program's tables name and the printer-name list
    // that gives each driver index its display name.
    void provideFullPackage();
    // Opens the dialog and waits until preparation enabled Install.
    void openAndPrepare();
    void open();

    TempRoot root;
    sim::SimWindows machine;
    sim::SimMainWindow window;
    EngineSpy engines;
    DriverEngines drivers;
    NoteSpy notes;
    Platform platform;
    MainDialog dialog;
    bool opened = false;
};

}  // namespace setup::test
