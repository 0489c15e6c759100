#include "app/unattended_run.h"

#include "app/main_dialog.h"
#include "install/rerun_decision.h"
#include "config/unattended_texts.h"

namespace setup {

void logStart(RunLog& log, Program program, const std::string& commandLine) {
    log.line(std::string(buildConfig(program).programName) + " " + programVersion(program) +
             ", command line: " + commandLine);
}

namespace {

const char* meaning(int code) {
    switch (code) {
        case exit_code::installed: return "installed";
        case exit_code::printerNotFound: return "installed, but the search found no printer";
        case exit_code::packageMissing: return "no driver package";
        case exit_code::packageRefused: return "the driver package is damaged or was refused";
        case exit_code::invalidCommandLine: return "invalid command line, unknown printer or port";
        case exit_code::cancelled: return "closed by the user";
        case exit_code::alreadyRunning: return "another installer is running";
        case exit_code::logNotOpened: return "the log cannot be opened";
        default: return "the installation failed";
    }
}

}  // namespace

void logExitCode(RunLog& log, int code, const char* what) {
    std::string line = "Exit code " + std::to_string(code) + ": " + what;
    if (int lost = log.linesLost()) line += " (" + std::to_string(lost) + " lines of this log could not be written)";
    log.line(line);
}

namespace {

// The user's Windows key and its value that says who chooses the default printer: 1 the
// user, 0 Windows (the printer used last); older Windows do not have it.
constexpr const char* userWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* legacyDefaultPrinterMode = "LegacyDefaultPrinterMode";

bool windowsManagesDefaultPrinter(Registry& registry) {
    Result<Handle> key = registry.openKey(RegistryRoot::CurrentUser, userWindowsKey, RegistryAccess::QueryValue);
    if (!key) return false;
    Result<std::string> mode = registry.queryValue(*key, legacyDefaultPrinterMode, 4);
    registry.closeKey(*key);
    return mode && mode->size() == 4 && *mode == std::string(4, '\0');
}

}  // namespace

void logDefaultPrinterAccount(RunLog& log, Platform& system) {
    if (system.system.runsAsLocalSystem().value_or(false)) log.line(text::defaultForSystemAccount);
    if (windowsManagesDefaultPrinter(system.registry)) log.line(text::defaultManagedByWindows);
}

int exitCodeOf(const RunEnd& run) {
    if (run.anotherInstaller) return exit_code::alreadyRunning;
    if (run.alreadyInstalled) return exit_code::installed;
    if (run.completed) return run.portConfirmed ? exit_code::installed : exit_code::printerNotFound;
    if (run.prepared && !run.packageUnpacked)
        return run.packageProblem ? exit_code::packageRefused : exit_code::packageMissing;
    if (run.choiceRefused) return exit_code::invalidCommandLine;
    if (run.endedByUser) return exit_code::cancelled;
    return exit_code::failed;
}

RunEnd runEndOf(const MainDialog& dialog) {
    RunEnd run;
    run.anotherInstaller = dialog.anotherInstallerRunning;
    run.prepared = dialog.prepared;
    run.packageUnpacked = dialog.unpackedWhenPrepared;
    run.packageProblem = !dialog.package.problem.empty();
    run.completed = dialog.values.installationCompleted;
    run.portConfirmed = dialog.values.printerPortConfirmed;
    run.endedByUser = dialog.closedByUser;
    run.alreadyInstalled = dialog.values.alreadyInstalled;
    return run;
}

UnattendedRun::UnattendedRun(const Platform& system, const BuildConfig& config, MainWindow& window,
                             const CommandLineOptions& options, RunLog& log)
    : config_(config),
      options_(options),
      system_(system),
      log_(log),
      logged_(std::make_unique<LoggedPlatform>(system_, log_, options_.quiet)),
      view_(window, options_, log_, logged_->platform()) {}

Platform& UnattendedRun::platform() {
    return logged_->platform();
}

void UnattendedRun::windowNotCreated(std::uint32_t error) {
    log_.line("The main window could not be created: " + log_.fromAnsi(systemErrorText(system_.system, error)) +
              ". Nothing was installed.");
}

MainWindowEvents& UnattendedRun::events(MainDialog& dialog) {
    view_.attach(dialog);
    return view_;
}

int UnattendedRun::end(const MainDialog& dialog) {
    const InstallValues& values = dialog.values;
    RunEnd run = runEndOf(dialog);
    run.choiceRefused = view_.choiceRefused();
    const bool created = run.completed && !run.alreadyInstalled;
    if (created || run.alreadyInstalled)
        log_.ansiLine("The printer is on ", values.printerPort + (run.portConfirmed ? "" : ", where the search did not find it"));
    if (created) writeRecord(values);
    const int code = exitCodeOf(run);
    logExitCode(log_, code, run.alreadyInstalled ? "already installed, nothing was changed" : meaning(code));
    return code;
}

void UnattendedRun::writeRecord(const InstallValues& values) {
    const std::string& printer = values.installed.printerName;
    if (printer.empty()) return;
    Registry& registry = platform().registry;
    const InstallationRecord record = recordOfInstallation(config_.program, values, system_.system.localTime(),
                                                           readInstallationRecord(registry, printer));
    const std::string key = "HKLM\\" + installationRecordKey(printer);
    if (std::uint32_t error = writeInstallationRecord(registry, printer, record)) {
        log_.ansiLine("The installation record could not be written, the exit code stays as it is: ",
                      key + ": " + systemErrorText(system_.system, error));
        return;
    }
    log_.ansiLine("Installation record written: ", key + ", package identity " + record.packageIdentity);
}

int commandLineExitCode(RunLog& log, const ParsedCommandLine& parsed) {
    if (parsed.refusal.empty()) {
        logExitCode(log, exit_code::installed, "the usage text was shown, nothing was installed");
        return exit_code::installed;
    }
    log.line("Command line refused: " + parsed.refusal);
    logExitCode(log, exit_code::invalidCommandLine, meaning(exit_code::invalidCommandLine));
    return exit_code::invalidCommandLine;
}

}  // namespace setup
