#include "ports/serial_search.h"

#include "platform/main_window.h"
#include "ports/port_registry.h"
#include "ports/serial_line.h"
#include "ports/serial_prompt_dialog.h"
#include "probe/printer_list.h"

namespace setup {

namespace {

// Where COM printers wait while the serial ports are probed, so that no spooler holds them.
constexpr const char* parkingPort = "LPT1:";
constexpr std::uint32_t nextPortAtOnceMs = 1;
constexpr int writeBufferSize = 512;
// The printers' status queries: real-time status (receipt) and ESC ! ? (label).
constexpr std::uint8_t receiptQuery[] = {0x10, 0x04, 0x01};
constexpr std::uint8_t labelQuery[] = {0x1B, 0x21, 0x3F};

// Install becomes "&Finish": the next press closes the dialog. A search whose spooler did not
// come back ends saying so.
void offerFinish(DialogContext& context) {
    if (context.values.spoolerStopped)
        context.calls.statusStep(text::installationStoppedNoSpooler);
    else
        context.values.installationCompleted = true;
    context.window.enableInstall(true);
    context.window.setInstallCaption(text::finishCaption);
    context.calls.refresh();
}

bool holdsComPort(const std::string& port) {
    return port.compare(0, 3, "COM") == 0;
}

// The n of "COMn:".
int portNumberOf(const std::string& entry) {
    int number = 0;
    for (std::size_t i = 3; i < entry.size() && entry[i] != ':'; ++i) number = number * 10 + (entry[i] - '0');
    return number;
}

const std::string& firstSerialPort(DialogContext& context) {
    return context.values.ports.serial.front();
}

}  // namespace

void SerialSearch::closeLine() {
    if (line_.hasPort()) line_.Close();
}

// Moves every printer on a COM port to the parking port for the time of the search. They
// count as parked from the first write on, so that whatever ends the dialog puts them back.
void SerialSearch::parkComPrinters(DialogContext& context) {
    parked_ = true;
    for (std::size_t i = 0; i < captured_.names.size() && i < captured_.ports.size(); ++i)
        if (holdsComPort(captured_.ports[i])) writePrinterPort(context, captured_.names[i], parkingPort);
}

// Gives every printer that held a COM port before the search its port back, but for the one
// named by passOver, which keeps the port that answered. A printer whose port could not be
// written back is named in a box.
void SerialSearch::restoreComPrinters(DialogContext& context, const std::string& passOver) {
    std::string notRestored;
    for (std::size_t i = 0; i < captured_.names.size() && i < captured_.ports.size(); ++i)
        if (holdsComPort(captured_.ports[i]) && captured_.names[i] != passOver &&
            !writePrinterPort(context, captured_.names[i], captured_.ports[i]))
            notRestored += fillText(text::parkedPrinterLine, {captured_.names[i], captured_.ports[i]});
    parked_ = false;
    if (!notRestored.empty())
        context.calls.appMessageBox(fillText(text::parkedPrintersNotRestored, {notRestored}), message_box::ok);
}

// Opens the serial port of the entry being probed, starts the 700 ms timer and sends the
// status query.
SerialSearch::ProbeStart SerialSearch::startProbe(DialogContext& context) {
    const InstallValues& values = context.values;
    const std::string& entry = values.ports.serial[static_cast<std::size_t>(probeIndex_)];
    portNumber_ = portNumberOf(entry);
    context.calls.statusStep(text::checking + entry);
    closeLine();
    const SerialSettings& s = settings_;
    if (!line_.Open(context.window, portNumber_, s.baudRate, s.parity, s.dataBits, s.stopBits,
                    static_cast<std::uint32_t>(s.eventMask), writeBufferSize))
        return ProbeStart::OpenFailed;
    if (!line_.StartMonitor()) return ProbeStart::MonitorFailed;
    context.window.setTimer(serialProbeTimer, serialProbeMs);
    const bool receipt = values.driverIndex.value_or(0) < values.groupSizes.receiptCount();
    line_.Write(receipt ? receiptQuery : labelQuery, 3);
    return ProbeStart::Running;
}

// Not searched: the printer stays on the first serial port.
void SerialSearch::keepFirstPort(DialogContext& context) {
    context.values.printerEndsOn(firstSerialPort(context), false);
    context.calls.statusStep(text::currentPrinterPort + firstSerialPort(context) + context.config.serialKeptPortTail);
    offerFinish(context);
    context.window.setProgress(100);
}

// The only serial port is the printer's.
void SerialSearch::takeOnlyPort(DialogContext& context) {
    const std::string& entry = firstSerialPort(context);
    context.values.printerEndsOn(entry, true);
    writePrinterPort(context, printerName_, entry);
    restartSpooler(context);
    writePortSettings(context, entry, settings_);
    restoreComPrinters(context);
    context.window.setProgress(90);
    restartSpooler(context);
    context.calls.statusStep(text::currentPrinterPort + entry + context.config.serialSinglePortTail);
    offerFinish(context);
}

// No port answered: every COM printer, the new one included, goes back to its port.
void SerialSearch::finishNotFound(DialogContext& context, const char* head) {
    context.values.printerEndsOn(firstSerialPort(context), false);
    restoreComPrinters(context);
    context.window.setProgress(90);
    restartSpooler(context);
    context.calls.statusStep(head + firstSerialPort(context) + context.config.serialNotFoundTail);
    offerFinish(context);
}

void SerialSearch::finishFound(DialogContext& context) {
    const std::string entry = context.values.ports.serial[static_cast<std::size_t>(probeIndex_)];
    context.window.killTimer(serialProbeTimer);
    context.values.printerEndsOn(entry, true);
    context.calls.statusStep(std::string(text::availablePrinterPort) + " " + entry);
    closeLine();
    writePrinterPort(context, printerName_, entry);
    writePortSettings(context, entry, settings_);
    context.window.setProgress(80);
    restoreComPrinters(context, printerName_);
    context.window.setProgress(90);
    restartSpooler(context);
    offerFinish(context);
    context.window.setProgress(100);
}

void SerialSearch::finishExhausted(DialogContext& context) {
    closeLine();
    context.window.killTimer(serialProbeTimer);
    context.window.setProgress(80);
    finishNotFound(context, context.config.serialProbeNotFoundHead);
    context.window.setProgress(100);
}

void SerialSearch::start(DialogContext& context, const std::string& printerName) {
    listPrinters(context.platform.spooler, captured_);
    context.window.setProgress(50);
    printerName_ = printerName;
    settings_ = context.values.serialSettings;
    const std::vector<std::string>& ports = context.values.ports.serial;

    // The printer was created on a parallel port: there is no serial port to look at, and
    // the status line ends naming the port it is on.
    if (ports.empty()) {
        context.calls.statusStep(context.config.noSerialPort + context.values.printerPort);
        offerFinish(context);
        context.window.setProgress(100);
        return;
    }
    if (ports.size() == 1) {
        takeOnlyPort(context);
        context.window.setProgress(100);
        return;
    }

    const int answer = SerialPromptDialog(context.window).DoModal();
    context.calls.refresh();
    // No, and the platform's own answers (Enter on the list, Escape, the close box), which
    // name no baud rate: the user did not ask for a search.
    const std::optional<int> baudRate = baudRateOfAnswer(answer);
    if (!context.config.probesSerialPorts || !baudRate) return keepFirstPort(context);

    parkComPrinters(context);
    restartSpooler(context);
    context.window.setProgress(60);
    settings_ = SerialSettings{*baudRate, 'N', 8, 1, 3};
    portNumber_ = 0;
    probeIndex_ = 0;
    while (probeIndex_ < static_cast<int>(ports.size()) && startProbe(context) != ProbeStart::Running) ++probeIndex_;
    if (probeIndex_ >= static_cast<int>(ports.size())) finishNotFound(context, context.config.serialNotFoundHead);
    context.window.setProgress(100);
}

void SerialSearch::tick(DialogContext& context) {
    const int portCount = static_cast<int>(context.values.ports.serial.size());
    // Only a running search has a port to judge.
    if (probeIndex_ < 0 || probeIndex_ >= portCount) {
        context.window.killTimer(serialProbeTimer);
        return;
    }
    if (answered_) return finishFound(context);

    ++probeIndex_;
    if (probeIndex_ >= portCount) return finishExhausted(context);
    switch (startProbe(context)) {
        case ProbeStart::Running: break;
        case ProbeStart::MonitorFailed:
            line_.Close();
            [[fallthrough]];
        case ProbeStart::OpenFailed:
            // The next tick comes at once and moves on to the next port.
            context.window.setTimer(serialProbeTimer, nextPortAtOnceMs);
            break;
    }
}

// A byte counts for the port being probed: one that a port just closed delivers late must
// not make the next port look like the printer's.
void SerialSearch::byte(int port) {
    if (port == portNumber_) answered_ = true;
}

void SerialSearch::end(DialogContext& context, SpoolerAfterRestore spooler) {
    if (!parked_) return;
    context.window.killTimer(serialProbeTimer);
    closeLine();
    restoreComPrinters(context);
    if (spooler == SpoolerAfterRestore::Restart) restartSpooler(context);
}

}  // namespace setup
