#include "app/program_entry.h"

#include "app/command_line.h"
#include "app/main_dialog.h"
#include "app/removal_run.h"
#include "app/run_log.h"
#include "app/unattended_run.h"
#include "config/build_config.h"
#include "config/unattended_texts.h"

namespace setup {

namespace {

// The program as it always was: the dialog on the window, the system as it is.
int runAsEver(const BuildConfig& config, Platform& system, ProgramHost& host, InstallEngines& engines) {
    MainDialog dialog(system, config, host.window(), engines);
    host.runDialog(dialog);
    return exitCodeOf(runEndOf(dialog));
}

}  // namespace

int runProgram(Program program, const std::string& commandLine, Platform system, ProgramHost& host,
               InstallEngines& engines) {
    const BuildConfig& config = buildConfig(program);
    ParsedCommandLine parsed = parseCommandLine(commandLine, program);
    if (parsed.options.none) return runAsEver(config, system, host, engines);

    checkOnThisSystem(parsed, system.files);
    const bool quiet = parsed.options.quiet;
    RunLog log(system.files, system.system, parsed.options.logPath);
    // As other installers do: a log asked for and not to be had stops the run before it
    // changes anything.
    if (!log.open()) {
        host.tell(fillText(text::logNotOpened, {*parsed.options.logPath}), !quiet);
        return exit_code::logNotOpened;
    }
    logStart(log, program, commandLine);
    if (parsed.options.help || !parsed.refusal.empty()) {
        host.tell(usageText(program, parsed.refusal), !quiet);
        return commandLineExitCode(log, parsed);
    }

    if (parsed.options.uninstall) return runRemoval(system, host.window(), parsed.options, log);

    if (parsed.options.setDefault) logDefaultPrinterAccount(log, system);
    if (quiet) host.keepHidden();
    UnattendedRun run(system, config, host.window(), parsed.options, log);
    MainDialog dialog(run.platform(), config, run.window(), engines, &run.notes());
    if (std::optional<std::uint32_t> error = host.runDialog(run.events(dialog))) run.windowNotCreated(*error);
    return run.end(dialog);
}

}  // namespace setup
