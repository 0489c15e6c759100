#include "install/installation_tail.h"

#include <cstdio>
#include <optional>

#include "ports/port_auto_selection.h"
#include "ports/port_registry.h"

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

// A printer of the same name goes first, with its queued jobs.
void removeExistingPrinter(DialogContext& context, const std::string& printerName) {
    Spooler& spooler = context.platform.spooler;
    Result<Handle> existing = spooler.openPrinter(printerName, rawDatatype, printerAllAccess);
    if (!existing) return;
    context.calls.statusStep(text::printerExistsHead + printerName + text::printerExistsTail);
    spooler.setPrinterCommand(*existing, printerControlPurge);
    spooler.deletePrinter(*existing);
    spooler.closePrinter(*existing);
}

// The printer could not be created: say why and leave Install usable.
void printerNotAdded(DialogContext& context, std::uint32_t error) {
    MainWindow& window = context.window;
    if (error == spooler_error::unknownPort || error == spooler_error::modNotFound) {
        window.messageBox(error == spooler_error::unknownPort ? text::noUsefulPort : text::missingSystemFiles,
                          text::promptCaption, message_box::ok);
        window.setInstallCaption(text::reinstallCaption);
    } else {
        char message[64];
        std::snprintf(message, sizeof message, text::addPrinterFailed, static_cast<int>(error));
        window.messageBox(message, text::errorPromptCaption, message_box::ok);
    }
    window.enableInstall(true);
    window.setProgress(0);
}

// The port the printer is created on: the chosen one, or for a serial or USB printer whose
// kind had no port, the first parallel port. Nothing when there is none.
std::optional<std::string> creationPort(const InstallValues& values) {
    if (values.portsFound || !searchesPort(*values.portKind)) return values.chosenPort;
    if (values.ports.parallel.empty()) return std::nullopt;
    return values.ports.parallel.front();
}

void reportCreation(DialogContext& context, const std::string& printerName, const std::string& port) {
    const InstallValues& values = context.values;
    if (values.portsFound)
        context.calls.statusStep(text::printerAdded + printerName);
    else if (*values.portKind == portKindSerial)
        context.calls.statusStep(context.config.noSerialPort + port);
    else if (*values.portKind == portKindUsb)
        context.calls.statusStep(text::noUsbPort + port);
    else
        context.calls.refresh();
}

// Writes "name,winspool,port" as the user's default printer.
void setDefaultPrinter(DialogContext& context, const std::string& printerName, const std::string& port) {
    Registry& registry = context.platform.registry;
    Result<Handle> key = registry.openKey(RegistryRoot::CurrentUser, windowsKey, RegistryAccess::SetValue);
    if (!key) return;
    const std::string device = printerName + ",winspool," + port;
    if (registry.setValue(*key, defaultPrinterValue, regSz, stringValue(device)) != win_error::success)
        context.calls.appMessageBox(text::defaultPrinterNotSet, message_box::ok);
    registry.closeKey(*key);
}

// A port named in advance needs no search; a serial one still gets its line settings.
void keepGivenPort(DialogContext& context, const std::string& port) {
    if (*context.values.portKind == portKindSerial) writePortSettings(context, port);
}

void finish(DialogContext& context) {
    context.values.installationCompleted = true;
    context.window.setProgress(100);
    context.calls.statusStep(text::installationCompleted);
    context.window.enableInstall(true);
    context.window.setInstallCaption(text::finishCaption);
    context.calls.refresh();
}

}  // namespace

void finishInstallation(DialogContext& context, const std::string& printerName, const std::string& displayName,
                        std::uint32_t pauseMs) {
    InstallValues& values = context.values;
    context.platform.system.enablePrivilege(loadDriverPrivilege);

    std::optional<std::string> port = creationPort(values);
    if (!port) return printerNotAdded(context, spooler_error::unknownPort);
    removeExistingPrinter(context, printerName);
    Result<Handle> printer = context.platform.spooler.addPrinter(
        PrinterRecord{printerName, *port, displayName, printProcessor, rawDatatype});
    if (!printer) return printerNotAdded(context, printer.error());
    values.printerEndsOn(*port, values.portsFound);
    reportCreation(context, printerName, *port);
    context.platform.spooler.closePrinter(*printer);
    context.window.setProgress(30);

    // The default printer names the port the printer was created on.
    if (values.setDefaultPrinter == 1) setDefaultPrinter(context, printerName, *port);
    context.window.setProgress(40);
    context.calls.statusStep(text::setDefaultHead + printerName + text::setDefaultTail);

    const bool given =
        values.portsFound && searchesPort(*values.portKind) && values.givenPort == values.chosenPort;
    if (given)
        keepGivenPort(context, *port);
    else if (*values.portKind == portKindSerial)
        selectSerialPort(context, printerName);
    else if (*values.portKind == portKindUsb)
        selectUsbPort(context, printerName);
    context.platform.system.sleep(pauseMs);
    // The serial search finishes the dialog itself, possibly later from its timer.
    if (given || *values.portKind != portKindSerial) finish(context);
}

}  // namespace setup
