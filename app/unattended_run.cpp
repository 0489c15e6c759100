#include "app/unattended_run.h"

#include "app/main_dialog.h"
#include "config/unattended_texts.h"

namespace setup {

namespace {

void logStart(RunLog& log, Program program, const std::string& commandLine) {
    log.line(std::string(buildConfig(program).programName) + " " + programVersion(program) +
             ", command line: " + commandLine);
}

const char* meaning(int code) {
    switch (code) {
        case exit_code::installed: return "installed";
        case exit_code::printerNotFound: return "installed, but the search found no printer";
        case exit_code::packageMissing: return "no driver package";
        case exit_code::packageRefused: return "the driver package is damaged or was refused";
        case exit_code::invalidCommandLine: return "invalid command line, unknown printer or port";
        case exit_code::cancelled: return "closed by the user";
        case exit_code::alreadyRunning: return "another installer is running";
        default: return "the installation failed";
    }
}

void logExitCode(RunLog& log, int code) {
    std::string line = "Exit code " + std::to_string(code) + ": " + meaning(code);
    if (int lost = log.linesLost()) line += " (" + std::to_string(lost) + " lines of this log could not be written)";
    log.line(line);
}

}  // namespace

int exitCodeOf(const RunEnd& run) {
    if (run.anotherInstaller) return exit_code::alreadyRunning;
    if (run.completed) return run.portConfirmed ? exit_code::installed : exit_code::printerNotFound;
    if (run.prepared && !run.packageUnpacked)
        return run.packageProblem ? exit_code::packageRefused : exit_code::packageMissing;
    if (run.choiceRefused) return exit_code::invalidCommandLine;
    if (run.endedByUser) return exit_code::cancelled;
    return exit_code::failed;
}

UnattendedRun::UnattendedRun(const Platform& system, const BuildConfig& config, MainWindow& window,
                             const CommandLineOptions& options, const std::string& commandLine)
    : config_(config),
      options_(options),
      system_(system),
      log_(system.files, system.system, options.logPath),
      view_(window, options_, log_, system.files) {
    logStart(log_, config.program, commandLine);
    if (!options_.none) logged_ = std::make_unique<LoggedPlatform>(system_, log_, options_.quiet);
}

Platform& UnattendedRun::platform() {
    return logged_ ? logged_->platform() : system_;
}

MainWindowEvents& UnattendedRun::events(MainDialog& dialog) {
    view_.attach(dialog);
    return view_;
}

int UnattendedRun::end(const MainDialog& dialog) {
    const InstallValues& values = dialog.values;
    RunEnd run;
    run.anotherInstaller = dialog.anotherInstallerRunning;
    run.prepared = view_.prepared();
    run.packageUnpacked = view_.packageUnpacked();
    run.packageProblem = !dialog.package.problem.empty();
    run.choiceRefused = view_.choiceRefused();
    run.completed = values.installationCompleted;
    run.portConfirmed = values.printerPortConfirmed;
    run.endedByUser = view_.endedByUser();
    if (run.completed)
        log_.ansiLine("The printer is on ", values.printerPort + (run.portConfirmed ? "" : ", where the search did not find it"));
    const int code = exitCodeOf(run);
    logExitCode(log_, code);
    return code;
}

int commandLineExitCode(const Platform& system, Program program, const ParsedCommandLine& parsed,
                        const std::string& commandLine) {
    RunLog log(system.files, system.system, parsed.options.logPath);
    logStart(log, program, commandLine);
    const int code = parsed.refusal.empty() ? exit_code::installed : exit_code::invalidCommandLine;
    if (!parsed.refusal.empty()) log.line("Command line refused: " + parsed.refusal);
    logExitCode(log, code);
    return code;
}

}  // namespace setup
