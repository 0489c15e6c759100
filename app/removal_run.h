#pragma once

#include "app/command_line.h"
#include "app/run_log.h"
#include "platform/main_window.h"
#include "platform/platform.h"

namespace setup {

// /uninstall: removes the printer the command line names with what this installer added for
// it, without the main dialog and without the driver package, holding the installers' lock.
// Without /quiet a box asks first and another says what was removed; every step goes to the
// log. Returns the exit code.
int runRemoval(const Platform& system, MainWindow& window, const CommandLineOptions& options, RunLog& log);

}  // namespace setup
