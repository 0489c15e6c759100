#include "ports/port_registry.h"

#include <cstdint>

#include "context/dialog_context.h"
#include "platform/main_window.h"
#include "probe/service_control.h"

namespace setup {

namespace {

constexpr const char* printersKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
constexpr const char* controlSetPrintersKey = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
constexpr const char* currentControlSetPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr const char* portsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// Sets one text value in a key of the local machine that already exists; true when it was
// written.
bool setText(DialogContext& context, const std::string& key, const std::string& name, const std::string& text,
             const char* failure) {
    Registry& registry = context.platform.registry;
    Result<RegistryKey> opened =
        RegistryKey::adopt(registry, registry.openKey(RegistryRoot::LocalMachine, key, RegistryAccess::SetValue));
    if (!opened) return false;
    if (registry.setValue(opened->get(), name, regSz, stringValue(text)) == win_error::success) return true;
    context.calls.appMessageBox(failure, message_box::ok);
    return false;
}

}  // namespace

bool writePrinterPort(DialogContext& context, const std::string& printer, const std::string& port) {
    setText(context, printersKey + printer, "Port", port, text::registryFailed);
    setText(context, printersKey + printer + "\\DsSpooler", "portName", port, text::registryFailed);
    // The spooler starts from the current control set, which is the first one on a machine
    // that started normally: either write reaches it.
    const bool firstSet = setText(context, controlSetPrintersKey + printer, "Port", port, text::registryFailed);
    const bool currentSet = setText(context, currentControlSetPrintersKey + printer, "Port", port, text::registryFailed);
    const bool taken = firstSet || currentSet;

    Registry& registry = context.platform.registry;
    Result<RegistryKey> created = RegistryKey::adopt(
        registry, registry.createKey(RegistryRoot::CurrentConfig, currentControlSetPrintersKey + printer));
    if (!created) return taken;
    const std::string offline(4, '\0');
    if (registry.setValue(created->get(), "PrinterOnLine", regDword, offline) != win_error::success)
        context.calls.appMessageBox(text::registryFailed, message_box::ok);
    return taken;
}

void writePortSettings(DialogContext& context, const std::string& port, const SerialSettings& settings) {
    // The parity letter in lower case, as the Ports key keeps it.
    const char parity = static_cast<char>(settings.parity + 32);
    const std::string value = std::to_string(settings.baudRate) + "," + std::string(1, parity) + "," +
                              std::to_string(settings.dataBits) + "," + std::to_string(settings.stopBits);
    setText(context, portsKey, port, value, text::portSettingsFailed);
}

bool restartSpooler(DialogContext& context) {
    if (controlService(context, spoolerService, serviceRestart)) return true;
    context.values.spoolerStopped = true;
    return false;
}

}  // namespace setup
