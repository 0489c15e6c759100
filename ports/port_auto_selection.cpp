#include "ports/port_auto_selection.h"

#include "platform/main_window.h"
#include "ports/port_registry.h"
#include "probe/os_probe.h"

namespace setup {

namespace {

constexpr int osCodeWindows7 = 9;
constexpr const char* onlineKeyPrefix =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr std::uint32_t onlineBufferSize = 50;

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

}  // namespace setup
