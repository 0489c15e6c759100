#pragma once

#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/logged_platform.h"
#include "app/run_log.h"
#include "app/unattended_view.h"
#include "config/build_config.h"

namespace setup {

class MainDialog;

// How a run ended, as far as the exit code tells it apart.
struct RunEnd {
    bool anotherInstaller = false;
    bool prepared = false;
    bool packageUnpacked = false;
    bool packageProblem = false;  // the package was refused or damaged, not simply absent
    bool choiceRefused = false;
    bool completed = false;
    bool portConfirmed = false;
    bool endedByUser = false;
};

int exitCodeOf(const RunEnd& run);

// One run of the program as its command line shapes it: the log, the system as the dialog
// sees it (its failed calls logged) and the view between the dialog and its window. With no
// option at all, the dialog gets the system and the window as they are.
class UnattendedRun {
public:
    UnattendedRun(const Platform& system, const BuildConfig& config, MainWindow& window,
                  const CommandLineOptions& options, const std::string& commandLine);

    Platform& platform();
    MainWindow& window() { return view_; }
    // The notes the dialog's operations write to the log.
    RunNotes& notes() { return log_; }
    // The events the window delivers, for the dialog given.
    MainWindowEvents& events(MainDialog& dialog);
    // Once the dialog has ended: logs where the printer is and the exit code, and returns it.
    int end(const MainDialog& dialog);

private:
    const BuildConfig& config_;
    CommandLineOptions options_;
    Platform system_;
    RunLog log_;
    std::unique_ptr<LoggedPlatform> logged_;
    UnattendedView view_;
};

// A command line the program cannot use, or one that asks for the usage text: the log says
// so when its place is known. Returns the exit code.
int commandLineExitCode(const Platform& system, Program program, const ParsedCommandLine& parsed,
                        const std::string& commandLine);

}  // namespace setup
