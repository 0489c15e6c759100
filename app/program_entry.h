#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/program.h"
#include "context/install_engines.h"
#include "platform/main_window.h"
#include "platform/platform.h"

namespace setup {

// What an entry point gives the program beyond the system: the main dialog's window, and
// the way back to whoever started the program.
class ProgramHost {
public:
    virtual ~ProgramHost() = default;
    virtual MainWindow& window() = 0;
    // The window of the next run is never shown.
    virtual void keepHidden() = 0;
    // Runs the main dialog modally until it ends; the error number when its window could
    // not be created.
    virtual std::optional<std::uint32_t> runDialog(MainWindowEvents& events) = 0;
    // A text for the starter: on the standard output or console it handed over, else in a
    // box when one may be shown.
    virtual void tell(const std::string& text, bool boxAllowed) = 0;
};

// One run of a program with its whole command line. Without anything after the program's
// name, the dialog gets the window and the system as they are, nothing between them; with
// options, the run is logged and shaped by them (UnattendedRun). Returns the exit code.
int runProgram(Program program, const std::string& commandLine, Platform system, ProgramHost& host,
               InstallEngines& engines);

}  // namespace setup
