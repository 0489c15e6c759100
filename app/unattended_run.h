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
    bool alreadyInstalled = false;  // the printer was there as asked: nothing was changed
};

int exitCodeOf(const RunEnd& run);
// What the dialog saw of its run; whether a choice was refused is the view's to add.
RunEnd runEndOf(const MainDialog& dialog);

// The log's first line: the program, its version and the command line.
void logStart(RunLog& log, Program program, const std::string& commandLine);
// The log's last line: the exit code and what it means, with the lines the log lost.
void logExitCode(RunLog& log, int code, const char* what);

// What /default leaves to others, said in the log before the run: the default printer is
// the account's own, so a run as SYSTEM sets it for nobody who signs in, and Windows may
// change it when it manages the default printer itself.
void logDefaultPrinterAccount(RunLog& log, Platform& system);

// One run of the program as its command line shapes it: the log, the system as the dialog
// sees it (its failed calls logged) and the view between the dialog and its window.
class UnattendedRun {
public:
    UnattendedRun(const Platform& system, const BuildConfig& config, MainWindow& window,
                  const CommandLineOptions& options, RunLog& log);

    Platform& platform();
    MainWindow& window() { return view_; }
    // The notes the dialog's operations write to the log.
    RunNotes& notes() { return log_; }
    // The events the window delivers, for the dialog given.
    MainWindowEvents& events(MainDialog& dialog);
    // The dialog's window could not be created: nothing ran.
    void windowNotCreated(std::uint32_t error);
    // Once the dialog has ended: logs where the printer is and the exit code, and returns it.
    int end(const MainDialog& dialog);

private:
    // The installation record of the printer the run created or kept; a failure is logged
    // and changes nothing else.
    void writeRecord(const InstallValues& values);

    const BuildConfig& config_;
    CommandLineOptions options_;
    Platform system_;
    RunLog& log_;
    std::unique_ptr<LoggedPlatform> logged_;
    UnattendedView view_;
};

// A command line the program cannot use, or one that asks for the usage text: the log says
// which. Returns the exit code.
int commandLineExitCode(RunLog& log, const ParsedCommandLine& parsed);

}  // namespace setup
