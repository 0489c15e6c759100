#include "ports/port_auto_selection.h"

#include "probe/printer_list.h"
#include "platform/main_window.h"
#include "ports/port_registry.h"
#include "ports/serial_line.h"
#include "ports/serial_prompt_dialog.h"
#include "probe/os_probe.h"
#include "probe/service_control.h"

namespace setup {

namespace {

constexpr int osCodeWindows7 = 9;
constexpr const char* onlineKeyPrefix =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr std::uint32_t onlineBufferSize = 50;

// Where COM printers wait while the serial ports are probed, so that no spooler holds them.
constexpr const char* parkingPort = "LPT1:";
constexpr std::uint32_t nextPortAtOnceMs = 1;
constexpr int writeBufferSize = 512;
// The printers' status queries: real-time status (receipt) and ESC ! ? (label).
constexpr std::uint8_t receiptQuery[] = {0x10, 0x04, 0x01};
constexpr std::uint8_t labelQuery[] = {0x1B, 0x21, 0x3F};

// False, said and noted, when the spooler did not come back.
bool restartSpooler(DialogContext& context) {
    if (controlService(context, spoolerService, serviceRestart)) return true;
    context.values.spoolerStopped = true;
    return false;
}

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

// --- USB ---------------------------------------------------------------------------------------

// Whether the restarted spooler reports the printer online; a key it did not write is
// passed over silently.
bool reportsOnline(DialogContext& context, const std::string& printer) {
    Registry& registry = context.platform.registry;
    Result<RegistryKey> key = RegistryKey::adopt(
        registry, registry.openKey(RegistryRoot::LocalMachine, onlineKeyPrefix + printer, RegistryAccess::QueryValue));
    if (!key) return false;
    Result<std::string> online = registry.queryValue(key->get(), "PrinterOnLine", onlineBufferSize);
    if (!online) {
        context.calls.appMessageBox(text::registryFailed, message_box::ok);
        return false;
    }
    return !online->empty() && (*online)[0] == 1;
}

// --- serial ------------------------------------------------------------------------------------

bool holdsComPort(const std::string& port) {
    return port.compare(0, 3, "COM") == 0;
}

// Moves every printer on a COM port to the parking port for the time of the search. They
// count as parked from the first write on, so that whatever ends the dialog puts them back.
void parkComPrinters(DialogContext& context) {
    context.values.comPrintersParked = true;
    const PrinterLists& captured = context.values.capturedPrinters;
    for (std::size_t i = 0; i < captured.names.size() && i < captured.ports.size(); ++i)
        if (holdsComPort(captured.ports[i])) writePrinterPort(context, captured.names[i], parkingPort);
}

// Gives every printer that held a COM port before the search its port back, but for the one
// named by passOver, which keeps the port that answered. A printer whose port could not be
// written back is named in a box.
void restoreComPrinters(DialogContext& context, const std::string& passOver = {}) {
    const PrinterLists& captured = context.values.capturedPrinters;
    std::string notRestored;
    for (std::size_t i = 0; i < captured.names.size() && i < captured.ports.size(); ++i)
        if (holdsComPort(captured.ports[i]) && captured.names[i] != passOver &&
            !writePrinterPort(context, captured.names[i], captured.ports[i]))
            notRestored += fillText(text::parkedPrinterLine, {captured.names[i], captured.ports[i]});
    context.values.comPrintersParked = false;
    if (!notRestored.empty())
        context.calls.appMessageBox(fillText(text::parkedPrintersNotRestored, {notRestored}), message_box::ok);
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

enum class ProbeStart { Running, OpenFailed, MonitorFailed };

// Opens the serial port of entry k, starts the 700 ms timer and sends the status query.
ProbeStart startProbe(DialogContext& context, int k) {
    InstallValues& values = context.values;
    SerialLine& line = *values.serialLine;
    const std::string& entry = values.ports.serial[static_cast<std::size_t>(k)];
    values.portNumber = portNumberOf(entry);
    context.calls.statusStep(text::checking + entry);
    if (line.hasPort()) line.Close();
    const SerialSettings& s = values.serialSettings;
    if (!line.Open(context.window, values.portNumber, s.baudRate, s.parity, s.dataBits, s.stopBits,
                   static_cast<std::uint32_t>(s.eventMask), writeBufferSize))
        return ProbeStart::OpenFailed;
    if (!line.StartMonitor()) return ProbeStart::MonitorFailed;
    context.window.setTimer(serialProbeTimer, serialProbeMs);
    const bool receipt = values.driverIndex.value_or(0) < values.groupSizes.receiptCount();
    line.Write(receipt ? receiptQuery : labelQuery, 3);
    return ProbeStart::Running;
}

// Not searched: the printer stays on the first serial port.
void keepFirstPort(DialogContext& context) {
    context.values.printerEndsOn(firstSerialPort(context), false);
    context.calls.statusStep(text::currentPrinterPort + firstSerialPort(context) + context.config.serialKeptPortTail);
    offerFinish(context);
    context.window.setProgress(100);
}

// The only serial port is the printer's.
void takeOnlyPort(DialogContext& context) {
    const std::string& entry = firstSerialPort(context);
    context.values.printerEndsOn(entry, true);
    writePrinterPort(context, context.values.serialPrinterName, entry);
    restartSpooler(context);
    writePortSettings(context, entry);
    restoreComPrinters(context);
    context.window.setProgress(90);
    restartSpooler(context);
    context.calls.statusStep(text::currentPrinterPort + entry + context.config.serialSinglePortTail);
    offerFinish(context);
}

// No port answered: every COM printer, the new one included, goes back to its port.
void finishNotFound(DialogContext& context, const char* head) {
    context.values.printerEndsOn(firstSerialPort(context), false);
    restoreComPrinters(context);
    context.window.setProgress(90);
    restartSpooler(context);
    context.calls.statusStep(head + firstSerialPort(context) + context.config.serialNotFoundTail);
    offerFinish(context);
}

void finishFound(DialogContext& context) {
    InstallValues& values = context.values;
    const std::string entry = values.ports.serial[static_cast<std::size_t>(values.probeIndex)];
    context.window.killTimer(serialProbeTimer);
    values.printerEndsOn(entry, true);
    context.calls.statusStep(std::string(text::availablePrinterPort) + " " + entry);
    if (values.serialLine->hasPort()) values.serialLine->Close();
    writePrinterPort(context, values.serialPrinterName, entry);
    writePortSettings(context, entry);
    context.window.setProgress(80);
    restoreComPrinters(context, values.serialPrinterName);
    context.window.setProgress(90);
    restartSpooler(context);
    offerFinish(context);
    context.window.setProgress(100);
}

void finishExhausted(DialogContext& context) {
    if (context.values.serialLine->hasPort()) context.values.serialLine->Close();
    context.window.killTimer(serialProbeTimer);
    context.window.setProgress(80);
    finishNotFound(context, context.config.serialProbeNotFoundHead);
    context.window.setProgress(100);
}

}  // namespace

void selectUsbPort(DialogContext& context, const std::string& printerName) {
    const bool writeOnly = context.config.usbWindows7WithoutCheck &&
                           osCode(context.platform.system, context.config.program) == osCodeWindows7;
    context.calls.statusStep(text::checkingUsbPorts);
    bool selected = false;
    for (const std::string& port : context.values.ports.usb) {
        context.calls.statusStep(std::string(text::checking) + " " + port + " " + text::checkingTail);
        writePrinterPort(context, printerName, port);
        context.values.printerEndsOn(port, false);
        context.window.setProgress(50);
        if (writeOnly) {
            selected = true;
            continue;
        }
        // Without the spooler no port can be tried, and no Retry would help.
        if (!restartSpooler(context)) break;
        context.window.setProgress(60);
        if (reportsOnline(context, printerName)) {
            context.values.printerEndsOn(port, true);
            context.window.setProgress(70);
            selected = true;
            break;
        }
    }
    if (!selected && !context.values.spoolerStopped && context.window.messageBox(context.config.usbSelectFailed, text::selectPortFailedCaption,
                                               message_box::retryCancel) == message_box::idRetry)
        selectUsbPort(context, printerName);
    context.window.setProgress(80);
}

void selectSerialPort(DialogContext& context, const std::string& printerName) {
    InstallValues& values = context.values;
    listPrinters(context.platform.spooler, values.capturedPrinters);
    context.window.setProgress(50);
    values.serialPrinterName = printerName;
    const std::vector<std::string>& ports = values.ports.serial;

    // The printer was created on a parallel port: there is no serial port to look at, and
    // the status line ends naming the port it is on.
    if (ports.empty()) {
        context.calls.statusStep(context.config.noSerialPort + values.printerPort);
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
    values.serialSettings = SerialSettings{*baudRate, 'N', 8, 1, 3};
    values.portNumber = 0;
    values.probeIndex = 0;
    while (values.probeIndex < static_cast<int>(ports.size()) &&
           startProbe(context, values.probeIndex) != ProbeStart::Running)
        ++values.probeIndex;
    if (values.probeIndex >= static_cast<int>(ports.size()))
        finishNotFound(context, context.config.serialNotFoundHead);
    context.window.setProgress(100);
}

void serialProbeTick(DialogContext& context) {
    InstallValues& values = context.values;
    const int portCount = static_cast<int>(values.ports.serial.size());
    // Only a running search has a port to judge.
    if (values.serialLine == nullptr || values.probeIndex < 0 || values.probeIndex >= portCount) {
        context.window.killTimer(serialProbeTimer);
        return;
    }
    if (values.answered) return finishFound(context);

    if (++values.probeIndex >= portCount) return finishExhausted(context);
    switch (startProbe(context, values.probeIndex)) {
        case ProbeStart::Running: break;
        case ProbeStart::MonitorFailed:
            values.serialLine->Close();
            [[fallthrough]];
        case ProbeStart::OpenFailed:
            // The next tick comes at once and moves on to the next port.
            context.window.setTimer(serialProbeTimer, nextPortAtOnceMs);
            break;
    }
}

void restoreParkedPrinters(DialogContext& context, SpoolerAfterRestore spooler) {
    InstallValues& values = context.values;
    if (!values.comPrintersParked) return;
    context.window.killTimer(serialProbeTimer);
    if (values.serialLine != nullptr && values.serialLine->hasPort()) values.serialLine->Close();
    restoreComPrinters(context);
    if (spooler == SpoolerAfterRestore::Restart) restartSpooler(context);
}

}  // namespace setup
