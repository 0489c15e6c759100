#include "app/removal_run.h"

#include "app/logged_platform.h"
#include "app/unattended_run.h"
#include "app/unattended_view.h"
#include "config/build_config.h"
#include "config/removal_texts.h"
#include "config/unattended_texts.h"
#include "install/printer_removal.h"
#include "package/installer_lock.h"

namespace setup {

namespace {

// What a removal's outcome says, one line a thing, in the ANSI code page.
std::vector<std::string> reportOf(const RemovalOutcome& outcome, const std::string& printer, System& system) {
    std::vector<std::string> lines;
    if (outcome.nothingToRemove()) lines.push_back(fillText(text::removalNothing, {printer}));
    for (const std::string& removed : outcome.removed) lines.push_back(fillText(text::removalRemovedLine, {removed}));
    for (const KeptThing& kept : outcome.kept) lines.push_back(fillText(text::removalKeptLine, {kept.what, kept.why}));
    if (outcome.failed()) {
        lines.push_back(fillText(text::removalStopped, {outcome.failedCall, systemErrorText(system, outcome.error)}));
        std::string left;
        for (const std::string& thing : outcome.left) left += (left.empty() ? "" : ", ") + thing;
        lines.push_back(left.empty() ? std::string(text::removalNothingLeft) : fillText(text::removalLeft, {left}));
    }
    return lines;
}

// A removal's talk with its starter: boxes for a person, the log for everyone.
class RemovalTalk {
public:
    RemovalTalk(MainWindow& window, const CommandLineOptions& options, RunLog& log, Platform& platform)
        : window_(window), quiet_(options.quiet), log_(log), view_(window, options, log, platform),
          title_(platform.system.programTitle()) {}

    bool asks() const { return !quiet_; }
    // A box and its answer, logged; only when a person is there.
    int ask(const std::string& text, std::uint32_t style) { return view_.answerBox(text, title_, style, &window_); }
    // Said in a box to a person, else only in the log.
    void tell(const std::string& text, std::uint32_t style) {
        if (asks()) ask(text, message_box::ok | style);
        else log_.ansiLine("", text);
    }
    int end(int code, const char* meaning) {
        logExitCode(log_, code, meaning);
        return code;
    }

private:
    MainWindow& window_;
    bool quiet_;
    RunLog& log_;
    UnattendedView view_;
    std::string title_;
};

}  // namespace

int runRemoval(const Platform& system, MainWindow& window, const CommandLineOptions& options, RunLog& log) {
    // DeletePortA is called without a window, and a port monitor's DeletePortUI shows no
    // dialog without one: the port calls go through also when nobody is there.
    LoggedPlatform logged(system, log, false);
    Platform& platform = logged.platform();
    RemovalTalk talk(window, options, log, platform);
    // The command line's check made sure the name can be spelt.
    const std::string printer = platform.files.ansiSpelling(*options.printer).value_or(*options.printer);

    InstallerLock lock(platform.system);
    if (!lock.claim()) {
        talk.tell(text::installerRunning, message_box::iconWarning);
        return talk.end(exit_code::alreadyRunning, "another installer is running");
    }
    if (talk.asks() &&
        talk.ask(fillText(text::removalQuestion, {printer}), message_box::yesNo | message_box::iconQuestion) !=
            message_box::idYes) {
        log.line(text::removalNotAsked);
        return talk.end(exit_code::cancelled, "the user answered No");
    }

    const RemovalOutcome outcome = removeInstallation(platform.spooler, platform.registry, {printer});
    std::string report;
    for (const std::string& line : reportOf(outcome, printer, platform.system)) {
        log.ansiLine("", line);
        report += (report.empty() ? "" : "\r\n") + line;
    }
    if (talk.asks()) talk.ask(report, message_box::ok | (outcome.failed() ? message_box::iconError : message_box::iconInformation));
    if (outcome.failed()) return talk.end(exit_code::failed, "the removal failed");
    return talk.end(exit_code::installed, outcome.nothingToRemove() ? "nothing to remove" : "removed");
}

}  // namespace setup
