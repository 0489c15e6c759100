#include "install/installation_tail.h"

#include <cstdio>
#include <optional>

#include "ports/port_auto_selection.h"
#include "ports/port_registry.h"
#include "ports/serial_search.h"
#include "probe/printer_list.h"

namespace setup {

namespace {

constexpr const char* loadDriverPrivilege = "SeLoadDriverPrivilege";
constexpr const char* printProcessor = "WinPrint";
constexpr const char* rawDatatype = "RAW";
constexpr const char* windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* defaultPrinterValue = "Device";

bool searchesPort(int portKind) {
    return portKind == portKindSerial || portKind == portKindUsb;
}

// A printer of the same name that was there before the installation.
struct Predecessor {
    std::optional<PrinterRecord> settings;  // as the spooler gave them, when there was one
    bool removed = false;
};

// Stops the tail with Install usable again; the status line says why.
void endWithoutPrinter(DialogContext& context, const std::string& message, const std::string& caption) {
    context.window.messageBox(message, caption, message_box::ok);
    context.window.enableInstall(true);
    context.window.setProgress(0);
}

// The same, with the reason in the status line too.
void stopSaying(DialogContext& context, const std::string& message) {
    context.calls.statusStep(message);
    endWithoutPrinter(context, message, text::errorPromptCaption);
}

// The new printer could not be created: the one that was there before is created again
// from its settings. Says what became of it; empty when there was none.
std::string putBackPredecessor(DialogContext& context, const Predecessor& predecessor) {
    if (!predecessor.settings) return {};
    const PrinterRecord& old = *predecessor.settings;
    if (predecessor.removed) {
        Spooler& spooler = context.platform.spooler;
        Result<PrinterHandle> again = PrinterHandle::adopt(spooler, spooler.addPrinter(old));
        if (!again)
            return fillText(text::printerNotRestored,
                            {old.printerName, old.portName, old.driverName, std::to_string(again.error())});
    }
    return fillText(text::printerKept, {old.printerName, old.portName, old.driverName});
}

// The printer could not be created: say why and what became of the printer that was there
// before, and leave Install usable.
void printerNotAdded(DialogContext& context, std::uint32_t error, const Predecessor& predecessor = {}) {
    const std::string outcome = putBackPredecessor(context, predecessor);
    std::string message;
    const char* caption = text::promptCaption;
    if (error == spooler_error::unknownPort || error == spooler_error::modNotFound) {
        message = error == spooler_error::unknownPort ? text::noUsefulPort : text::missingSystemFiles;
        context.window.setInstallCaption(text::reinstallCaption);
    } else {
        char code[64];
        std::snprintf(code, sizeof code, text::addPrinterFailed, static_cast<int>(error));
        message = code;
        caption = text::errorPromptCaption;
    }
    if (!outcome.empty()) {
        // The status line no longer says the printer is being re-added.
        context.calls.statusStep(outcome);
        message += "\r\n\r\n" + outcome;
    }
    endWithoutPrinter(context, message, caption);
}

// A printer of the same name goes, with its queued jobs; its settings are read first, so that
// it can be created again should the new printer fail. False, said, when its settings cannot
// be read: it stays and no printer is to be created.
bool removeExistingPrinter(DialogContext& context, const std::string& printerName, Predecessor& predecessor) {
    Spooler& spooler = context.platform.spooler;
    Result<std::optional<PrinterRecord>> existing = readPrinter(spooler, printerName);
    if (!existing) {
        stopSaying(context, fillText(text::printerUnreadable, {printerName, std::to_string(existing.error())}));
        return false;
    }
    predecessor.settings = *existing;
    if (!predecessor.settings) return true;
    Result<PrinterHandle> old = PrinterHandle::adopt(spooler, spooler.openPrinter(printerName, rawDatatype, printerAllAccess));
    if (!old) return true;
    context.calls.statusStep(text::printerExistsHead + printerName + text::printerExistsTail);
    spooler.setPrinterCommand(old->get(), printerControlPurge);
    predecessor.removed = spooler.deletePrinter(old->get()).ok;
    return true;
}

// The port the printer is created on: the chosen one, or for a serial or USB printer whose
// kind had no port, the first parallel port. Nothing when there is none.
std::optional<std::string> creationPort(const InstallValues& values) {
    if (values.portsFound || !searchesPort(*values.portKind)) return values.chosenPort;
    if (values.ports.parallel.empty()) return std::nullopt;
    return values.ports.parallel.front();
}

// The status of a serial or USB printer that went to the first parallel port because its
// kind had no port: it names the port the printer is on. Nothing for any other printer.
std::optional<std::string> fallbackStatus(DialogContext& context, const std::string& port) {
    const InstallValues& values = context.values;
    if (values.portsFound || !searchesPort(*values.portKind)) return std::nullopt;
    return (*values.portKind == portKindSerial ? context.config.noSerialPort : text::noUsbPort) + port;
}

void reportCreation(DialogContext& context, const std::string& printerName, const std::string& port) {
    if (context.values.portsFound)
        context.calls.statusStep(text::printerAdded + printerName);
    else if (std::optional<std::string> fallback = fallbackStatus(context, port))
        context.calls.statusStep(*fallback);
    else
        context.calls.refresh();
}

// Writes "name,winspool,port" as the user's default printer, creating the key a damaged or
// new profile lacks; the error when it could not.
std::uint32_t writeDefaultDevice(Registry& registry, const std::string& printerName, const std::string& port) {
    Result<RegistryKey> key = RegistryKey::adopt(registry, registry.createKey(RegistryRoot::CurrentUser, windowsKey));
    if (!key) return key.error();
    return registry.setValue(key->get(), defaultPrinterValue, regSz, stringValue(printerName + ",winspool," + port));
}

// The same, said in the status line and a box when it could not; false then.
bool setDefaultPrinter(DialogContext& context, const std::string& printerName, const std::string& port) {
    const std::uint32_t error = writeDefaultDevice(context.platform.registry, printerName, port);
    if (error == win_error::success) return true;
    context.calls.statusStep(fillText(text::defaultPrinterNotSet, {printerName, std::to_string(error)}));
    context.calls.appMessageBox(fillText(text::defaultPrinterRegistryFailed, {std::to_string(error)}), message_box::ok);
    return false;
}

// A port named in advance needs no search; a serial one still gets its line settings.
void keepGivenPort(DialogContext& context, const std::string& port) {
    if (*context.values.portKind == portKindSerial) writePortSettings(context, port, context.values.serialSettings);
}

// Creates the printer on the port of its record and says so; false, said with what became of
// its predecessor, when the spooler refused it.
bool createPrinter(DialogContext& context, const PrinterRecord& record, const Predecessor& predecessor) {
    Spooler& spooler = context.platform.spooler;
    Result<PrinterHandle> printer = PrinterHandle::adopt(spooler, spooler.addPrinter(record));
    if (!printer) {
        printerNotAdded(context, printer.error(), predecessor);
        return false;
    }
    context.values.printerEndsOn(record.portName, context.values.portsFound);
    reportCreation(context, record.printerName, record.portName);
    return true;
}

void finish(DialogContext& context, const std::string& status) {
    const bool spoolerStopped = context.values.spoolerStopped;
    context.values.installationCompleted = !spoolerStopped;
    context.window.setProgress(100);
    context.calls.statusStep(spoolerStopped ? text::installationStoppedNoSpooler : status);
    context.window.enableInstall(true);
    context.window.setInstallCaption(text::finishCaption);
    context.calls.refresh();
}

// Makes the printer the default one when the box is ticked, and says so.
void setDefaultWhenAsked(DialogContext& context, const std::string& printerName, const std::string& port) {
    const bool defaultSet = context.values.setDefaultPrinter != 1 || setDefaultPrinter(context, printerName, port);
    context.window.setProgress(40);
    if (defaultSet) context.calls.statusStep(text::setDefaultHead + printerName + text::setDefaultTail);
}

// The printer kept by an upgrade: its port, settings and sharing stay; the spooler gave it
// the driver files just registered under the same driver name.
void finishKeptPrinter(DialogContext& context, const PrinterRecord& printer, std::uint32_t pauseMs) {
    context.values.printerEndsOn(printer.portName, true);
    context.window.setProgress(30);
    setDefaultWhenAsked(context, printer.printerName, printer.portName);
    context.platform.system.sleep(pauseMs);
    finish(context, text::installationCompleted);
}

}  // namespace

void finishUnchanged(DialogContext& context, const std::string& port) {
    context.values.printerEndsOn(port, true);
    finish(context, text::installationCompleted);
}

void finishInstallation(DialogContext& context, const std::string& printerName, const std::string& displayName,
                        std::uint32_t pauseMs) {
    InstallValues& values = context.values;
    values.spoolerStopped = false;
    context.platform.system.enablePrivilege(loadDriverPrivilege);
    if (values.keptPrinter) return finishKeptPrinter(context, *values.keptPrinter, pauseMs);

    std::optional<std::string> port = creationPort(values);
    if (!port) return printerNotAdded(context, spooler_error::unknownPort);
    const PrinterRecord record{printerName, *port, displayName, printProcessor, rawDatatype};
    Predecessor predecessor;
    if (!removeExistingPrinter(context, printerName, predecessor)) return;
    if (!createPrinter(context, record, predecessor)) return;
    context.window.setProgress(30);

    // The default printer names the port the printer was created on.
    setDefaultWhenAsked(context, printerName, *port);

    const bool given =
        values.portsFound && searchesPort(*values.portKind) && values.givenPort == values.chosenPort;
    if (given)
        keepGivenPort(context, *port);
    else if (*values.portKind == portKindSerial)
        context.values.serialSearch->start(context, printerName);
    else if (*values.portKind == portKindUsb)
        selectUsbPort(context, printerName);
    context.platform.system.sleep(pauseMs);
    // The serial search finishes the dialog itself, possibly later from its timer; without a
    // serial port it keeps the status naming the port the printer is on. A USB printer on the
    // fallback port ends on the port it really is on.
    if (given || *values.portKind != portKindSerial)
        finish(context, fallbackStatus(context, *port).value_or(text::installationCompleted));
}

}  // namespace setup
