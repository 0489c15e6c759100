#include "app/unattended_view.h"

#include <algorithm>
#include <optional>

#include "app/main_dialog.h"
#include "install/rerun_decision.h"
#include "ports/serial_prompt_dialog.h"
#include "probe/os_probe.h"

namespace setup {

namespace {

const char* answerName(int answer) {
    switch (answer) {
        case message_box::idOk: return "OK";
        case message_box::idCancel: return "Cancel";
        case 3: return "Abort";
        case message_box::idRetry: return "Retry";
        case 5: return "Ignore";
        case message_box::idYes: return "Yes";
        case message_box::idNo: return "No";
        default: return "closed";
    }
}

std::string joined(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return list.empty() ? "none" : list;
}

// A port dialog that nobody sees: its list lives here, and the rule picks the row.
class UnseenPortDialog : public PortDialogWindow {
public:
    UnseenPortDialog(UnattendedView& view, Handle owner) : view_(view), owner_(owner) {}

    Handle window() override { return owner_; }
    void listDeleteAllRows() override { rows_.clear(); }
    int listColumnCount() override { return columns_; }
    void listDeleteColumn(int) override { columns_ = std::max(0, columns_ - 1); }
    std::uint32_t listExtendedStyle() override { return style_; }
    void setListExtendedStyle(std::uint32_t style) override { style_ = style; }
    void listInsertColumn(int, const std::string&, int) override { ++columns_; }
    int listInsertRow(int row, const std::string& text) override {
        const int at = std::clamp(row, 0, static_cast<int>(rows_.size()));
        rows_.insert(rows_.begin() + at, Row{{text, ""}, false});
        return at;
    }
    void listSetText(int row, int column, const std::string& text) override {
        if (row < 0 || row >= listRowCount() || column < 0 || column > 1) return;
        rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)] = text;
    }
    std::string listText(int row, int column) override {
        if (row < 0 || row >= listRowCount() || column < 0 || column > 1) return {};
        return rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
    }
    int listRowCount() override { return static_cast<int>(rows_.size()); }
    void listSelect(int row) override {
        for (int r = 0; r < listRowCount(); ++r) rows_[static_cast<std::size_t>(r)].selected = r == row;
    }
    bool listIsSelected(int row) override {
        return row >= 0 && row < listRowCount() && rows_[static_cast<std::size_t>(row)].selected;
    }
    int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) override {
        return view_.answerBox(text, caption, style, nullptr);
    }
    void endDialog(int result) override {
        if (!result_) result_ = result;
    }

    std::optional<int> result() const { return result_; }
    std::vector<std::string> ports() const {
        std::vector<std::string> names;
        for (const Row& row : rows_) names.push_back(row.texts[0]);
        return names;
    }

private:
    struct Row {
        std::string texts[2];
        bool selected;
    };
    UnattendedView& view_;
    Handle owner_;
    std::vector<Row> rows_;
    int columns_ = 0;
    std::uint32_t style_ = 0;
    std::optional<int> result_;
};

}  // namespace

int unattendedAnswer(std::uint32_t style) {
    switch (style & 0xF) {
        case message_box::okCancel:
        case 3:  // Yes, No, Cancel
        case message_box::retryCancel:
        case 6:  // Cancel, Try again, Continue
            return message_box::idCancel;
        case 2: return 3;  // Abort, Retry, Ignore: Abort
        case message_box::yesNo: return message_box::idNo;
        default: return message_box::idOk;
    }
}

UnattendedView::UnattendedView(MainWindow& window, const CommandLineOptions& options, RunLog& log, Platform& system)
    : window_(window), options_(options), log_(log), system_(system), files_(system.files) {}

void UnattendedView::attach(MainDialog& dialog) {
    dialog_ = &dialog;
    if (!options_.quiet) return;
    InstallValues& values = dialog.values;
    values.keepInstalled = true;
    values.forceInstall = options_.force;
    if (options_.portName) values.namedPort = files_.ansiSpelling(*options_.portName);
    dialog.unpackNeeded = [this](const std::vector<ArchiveEntry>& entries) { return unpackNeeded(entries); };
}

bool UnattendedView::unpackNeeded(const std::vector<ArchiveEntry>& entries) {
    InstallValues& values = dialog_->values;
    const std::optional<std::string> listText = files_.ansiSpelling(*options_.printer);
    if (!listText || !options_.portKind) return true;
    RerunRequest request;
    // The command line's check made sure the name can be spelt.
    request.printerName = options_.name ? files_.ansiSpelling(*options_.name).value_or("") : *listText;
    request.portKind = *options_.portKind;
    request.portName = values.namedPort;
    request.setDefault = options_.setDefault;
    request.force = options_.force;
    const RerunDecision decision = decideBeforeUnpack(system_, dialog_->context().config.program, request, *listText,
                                                      entries, values.ports);
    if (decision.outcome != RerunOutcome::AlreadyInstalled) return true;
    log_.ansiLine("Already installed: ", decision.reason + ".");
    values.alreadyInstalled = true;
    values.printerEndsOn(decision.port, true);
    return false;
}

// --- events ---

bool UnattendedView::onInitDialog() { return dialog_->onInitDialog(); }
int UnattendedView::onUpdateData(std::intptr_t wParam) { return dialog_->onUpdateData(wParam); }
void UnattendedView::onSerialByte(int byte, int port) { dialog_->onSerialByte(byte, port); }
void UnattendedView::onDriverSelectionChanged() { dialog_->onDriverSelectionChanged(); }
void UnattendedView::onInstallClicked() { dialog_->onInstallClicked(); }
void UnattendedView::onTimer(std::uintptr_t timerId) { dialog_->onTimer(timerId); }
void UnattendedView::onDestroy() { dialog_->onDestroy(); }

void UnattendedView::onEndSession() {
    log_.line("The session is ending.");
    dialog_->onEndSession();
}

void UnattendedView::onCancel() {
    log_.line("The user pressed Cancel.");
    dialog_->onCancel();
}

void UnattendedView::onClose() {
    log_.line("The user closed the window.");
    dialog_->onClose();
}

// --- what the dialog shows ---

namespace {

bool namesTheDefaultPrinter(const std::string& status) {
    const std::string head = text::setDefaultHead, tail = text::setDefaultTail;
    return status.size() >= head.size() + tail.size() && status.rfind(head, 0) == 0 &&
           status.compare(status.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void UnattendedView::setStatusLine(const std::string& text) {
    window_.setStatusLine(text);
    // The status line is copied again at every refresh: a text is one event, once.
    if (text == lastStatus_) return;
    lastStatus_ = text;
    // The status line names the printer as the default one also when the box was not
    // ticked; the log says what happened.
    if (namesTheDefaultPrinter(text) && dialog_->values.setDefaultPrinter != 1)
        return log_.line("The default printer stays as it was.");
    log_.ansiLine("Status: ", text);
}

void UnattendedView::driverListReset() {
    driverNames_.clear();
    window_.driverListReset();
}

void UnattendedView::driverListAdd(const std::string& name) {
    driverNames_.push_back(name);
    window_.driverListAdd(name);
}

int UnattendedView::messageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
    return answerBox(text, caption, style, options_.quiet ? nullptr : &window_);
}

int UnattendedView::answerBox(const std::string& text, const std::string& caption, std::uint32_t style,
                              MainWindow* user) {
    const bool byRule = options_.quiet || user == nullptr;
    const int answer = byRule ? unattendedAnswer(style) : user->messageBox(text, caption, style);
    if (log_.enabled())
        log_.line("Box \"" + log_.fromAnsi(caption) + "\": " + log_.fromAnsi(text) + " -> " + answerName(answer) +
                  (byRule ? " (by rule)" : " (by the user)"));
    return answer;
}

int UnattendedView::runPortDialog(int resourceId, PortDialogEvents& events) {
    if (!options_.quiet) return window_.runPortDialog(resourceId, events);
    const char* name = resourceId == IDD_TCP_PORT_DIALOG ? "TCP/IP" : "parallel";
    UnseenPortDialog dialog(*this, window_.window());
    events.onInit(dialog);
    const std::vector<std::string> ports = dialog.ports();
    std::optional<std::string> wanted = options_.portName ? files_.ansiSpelling(*options_.portName) : std::nullopt;
    if (!wanted && ports.size() == 1) wanted = ports.front();
    const auto row = wanted ? std::find(ports.begin(), ports.end(), *wanted) : ports.end();
    if (row != ports.end()) {
        dialog.listSelect(static_cast<int>(row - ports.begin()));
        events.onCommand(dialog, PortDialogCommand::Ok);
    }
    if (!dialog.result()) events.onCommand(dialog, PortDialogCommand::Cancel);
    log_.ansiLine(std::string("Port dialog (") + name + "): ports " + joined(ports) + " -> ",
                  row != ports.end() ? *row : "Cancel");
    return dialog.result().value_or(ResultNone);
}

namespace {

// The user's serial prompt, opened on the rate /baud named instead of the program's own.
class BaudPreselection : public SerialPromptEvents {
public:
    BaudPreselection(SerialPromptEvents& prompt, std::optional<int> entry) : prompt_(prompt), entry_(entry) {}
    void onInit(SerialPromptView& view) override {
        prompt_.onInit(view);
        if (entry_) view.selectBaudEntry(*entry_);
    }
    void onYes(SerialPromptView& view) override { prompt_.onYes(view); }
    void onNo(SerialPromptView& view) override { prompt_.onNo(view); }

private:
    SerialPromptEvents& prompt_;
    std::optional<int> entry_;
};

}  // namespace

int UnattendedView::runSerialPrompt(SerialPromptEvents& events) {
    if (!options_.quiet) {
        BaudPreselection preselected(events, options_.baudRate ? baudEntryOf(*options_.baudRate) : std::nullopt);
        const int answer = window_.runSerialPrompt(preselected);
        std::optional<int> rate = baudRateOfAnswer(answer);
        log_.line("Serial prompt: " + (rate ? "Yes at " + std::to_string(*rate) + " baud" : std::string("No")) +
                  " (by the user)");
        return answer;
    }
    SerialPromptRecord prompt(baudEntryCount);
    events.onInit(prompt);
    if (options_.baudRate) prompt.selectBaudEntry(*baudEntryOf(*options_.baudRate));
    events.onYes(prompt);
    log_.line("Serial prompt: Yes at " + std::to_string(baudRateOfAnswer(*prompt.result).value_or(0)) +
              " baud (by rule)");
    return prompt.result.value_or(message_box::idCancel);
}

// --- the user's part ---

void UnattendedView::enableInstall(bool enabled) {
    window_.enableInstall(enabled);
    if (!enabled) return;
    // The first time is the preparation thread's last step.
    if (!installEnabledOnce_.exchange(true)) {
        post(&UnattendedView::firstStep);
    } else if (options_.quiet) {
        post(&UnattendedView::nextStep);
    }
}

// The step runs once the handler that enabled Install has returned: the button is then as
// that handler leaves it.
void UnattendedView::post(void (UnattendedView::*step)()) {
    if (stepPending_.exchange(true)) return;
    window_.postToDialog([this, step] {
        stepPending_ = false;
        (this->*step)();
    });
}

void UnattendedView::firstStep() {
    DialogContext& context = dialog_->context();
    log_.ansiLine("System: ", systemDescription(context.platform.system, context.config, context.values.is64Bit));
    if (dialog_->package.notNeeded) {
        finishing_ = true;
        log_.line("The run ends: nothing was unpacked, nothing was changed.");
        return window_.endDialog(message_box::idOk);
    }
    if (!dialog_->unpackedWhenPrepared) {
        logMissingPackage();
        if (options_.quiet) return stop("there is no driver package to install from");
    }
    preselect();
    if (!options_.quiet) return;
    if (choiceRefused_) return stop("the command line asks for what this machine or package does not offer");
    log_.line("Install pressed (by rule).");
    dialog_->onInstallClicked();
}

void UnattendedView::nextStep() {
    if (finishing_) return;
    if (window_.installCaption() == text::finishCaption) {
        finishing_ = true;
        log_.line("Finish pressed (by rule).");
        return dialog_->onInstallClicked();
    }
    stop("the installation did not complete; the status line reads \"" + log_.fromAnsi(lastStatus_) + "\"");
}

// Ends as the close box would, without anybody having closed it.
void UnattendedView::stop(const std::string& why) {
    finishing_ = true;
    log_.line("The run ends: " + why + ".");
    window_.endDialog(message_box::idCancel);
}

void UnattendedView::logMissingPackage() {
    if (!dialog_->package.problem.empty()) {
        log_.ansiLine("The driver package was not unpacked: ", dialog_->package.problem);
        return;
    }
    const std::string folder = files_.currentDirectoryW();
    const std::string archive = folder + "\\" + packageFileName;
    if (!files_.attributesW(archive)) {
        log_.line("No driver package: " + std::string(packageFileName) + " is not in " + folder +
                  ", the folder the program was started from, where it is looked for.");
        return;
    }
    const std::string programFolder = system_.system.programFolderW(), systemFolder = system_.system.systemFolderW();
    if (!files_.attributesW(programFolder + "\\" + archiverDllName) &&
        !files_.attributesW(systemFolder + "\\" + archiverDllName)) {
        log_.line("No driver package: " + std::string(archiverDllName) + " is neither in the program's folder " +
                  programFolder + " nor in the system folder " + systemFolder + ".");
        return;
    }
    if (Result<FileHandle> held = FileHandle::adopt(files_, files_.openReadOnlyLockedW(archive)); !held) {
        log_.line("No driver package: " + archive + " cannot be opened for reading: " +
                  log_.fromAnsi(systemErrorText(system_.system, held.error())) + ".");
        return;
    }
    log_.line("No driver package: " + archive + " could not be unpacked with " + archiverDllName +
              " (the lines above say why).");
}

void UnattendedView::refuseChoice(const std::string& why) {
    log_.line("Command line: " + why);
    if (options_.quiet) choiceRefused_ = true;
}

void UnattendedView::preselect() {
    // Without a package the driver list is empty for no fault of the command line.
    if (options_.printer && dialog_->unpackedWhenPrepared) selectPrinter(*options_.printer);
    if (options_.portKind) {
        window_.portListSelect(*options_.portKind);
        choosePort();
    }
    // The command line's check made sure the name can be spelt.
    if (options_.name) window_.setPrinterName(files_.ansiSpelling(*options_.name).value_or(""));
    // The box follows the command line, and the next refresh must not tick it again.
    dialog_->values.setDefaultPrinter = options_.setDefault ? 1 : 0;
    dialog_->onUpdateData(0);
}

void UnattendedView::selectPrinter(const std::string& name) {
    std::optional<std::string> ansi = files_.ansiSpelling(name);
    auto found = ansi ? std::find(driverNames_.begin(), driverNames_.end(), *ansi) : driverNames_.end();
    if (found == driverNames_.end())
        return refuseChoice("the printer " + name + " is not in the driver list (" +
                            log_.fromAnsi(joined(driverNames_)) + ").");
    window_.driverListSelect(static_cast<int>(found - driverNames_.begin()));
    dialog_->onDriverSelectionChanged();
}

// The port of the command line: for serial and USB the printer's port without a search;
// for parallel and TCP/IP the port dialog's answer, needed where there is a choice.
void UnattendedView::choosePort() {
    const int kind = *options_.portKind;
    InstallValues& values = dialog_->values;
    const std::vector<std::string>& ports = *values.ports.ofKind(kind);
    const std::string kindName = portKindName(kind);
    if (!options_.portName) {
        if (ports.size() > 1 && (kind == portKindParallel || kind == portKindTcpIp))
            refuseChoice("this machine has more than one " + kindName + " port (" + log_.fromAnsi(joined(ports)) +
                         "): /portname names the one to use.");
        // Only the port monitor's own dialog adds one, and nobody is there to fill it in.
        if (ports.empty() && kind == portKindTcpIp && options_.quiet)
            refuseChoice("this machine has no TCP/IP port: add one first and name it with /portname.");
        return;
    }
    std::optional<std::string> port = files_.ansiSpelling(*options_.portName);
    if (!port || std::find(ports.begin(), ports.end(), *port) == ports.end())
        return refuseChoice("the port " + *options_.portName + " is not a " + kindName + " port of this machine (" +
                            log_.fromAnsi(joined(ports)) + ").");
    if (kind != portKindSerial && kind != portKindUsb) return;
    values.givenPort = *port;
    // No prompt asks for the rate: the line settings written for the port take /baud's.
    if (options_.baudRate) values.serialSettings.baudRate = *options_.baudRate;
}

}  // namespace setup
