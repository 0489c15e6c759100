#include "install/rerun_decision.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "config/unattended_texts.h"
#include "install/installation_tail.h"
#include "install/package_identity.h"
#include "probe/printer_list.h"

namespace setup {

namespace {

constexpr const char* windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* defaultPrinterValue = "Device";
// "name,winspool,port" with a name of up to 220 characters and a port name.
constexpr std::uint32_t deviceBufferSize = 1024;

RerunDecision install(std::string reason) { return {RerunOutcome::Install, std::move(reason), {}}; }
RerunDecision upgrade(std::string reason) { return {RerunOutcome::Upgrade, std::move(reason), {}}; }

// Whether the printer's port is the one asked for: the port named, else one of the kind's.
bool portAsAsked(const RerunRequest& request, const std::string& port, const PortLists& ports) {
    if (request.portName) return port == *request.portName;
    const std::vector<std::string>* kind = ports.ofKind(request.portKind);
    return kind != nullptr && std::find(kind->begin(), kind->end(), port) != kind->end();
}

std::string portDescription(const RerunRequest& request, const std::string& port) {
    if (request.portName) return "its port " + port + " is the port named";
    return "its port " + port + " is a " + portKindName(request.portKind) + " port";
}

std::optional<std::string> readDefaultPrinter(Registry& registry) {
    Result<Handle> key = registry.openKey(RegistryRoot::CurrentUser, windowsKey, RegistryAccess::QueryValue);
    if (!key) return std::nullopt;
    Result<std::string> device = registry.queryValue(*key, defaultPrinterValue, deviceBufferSize);
    registry.closeKey(*key);
    if (!device) return std::nullopt;
    // "name,winspool,port": a printer name holds no comma.
    return device->substr(0, std::min(device->find(','), device->find('\0')));
}

std::vector<ArchiveEntry> entriesOf(const std::map<std::string, ArchiveEntry>& files) {
    std::vector<ArchiveEntry> entries;
    for (const auto& [path, entry] : files) entries.push_back(entry);
    return entries;
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace

namespace {

RerunDecision decide(const RerunRequest& request, const InstalledState& installed, const PortLists& ports) {
    const std::string& name = request.printerName;
    if (request.force) return install("/force asks for a new installation");
    if (!installed.printer) return install("there is no printer " + name);
    const PrinterRecord& printer = *installed.printer;
    if (printer.driverName != request.driverName)
        return install("the printer " + name + " has the driver " + printer.driverName + ", not " + request.driverName);
    if (!portAsAsked(request, printer.portName, ports)) {
        if (request.portName) return install("the printer " + name + " is on " + printer.portName + ", not on " + *request.portName);
        return install("the printer " + name + " is on " + printer.portName + ", which is not a " +
                       portKindName(request.portKind) + " port of this machine");
    }
    const std::optional<InstallationRecord>& record = installed.record;
    if (!record) return upgrade("the printer " + name + " has no installation record");
    if (record->driverName != printer.driverName)
        return upgrade("the printer's installation record names the driver " + record->driverName);
    if (record->packageIdentity != request.packageIdentity)
        return upgrade("the package's identity " + request.packageIdentity + " is not the installed " +
                       record->packageIdentity);
    if (request.setDefault && installed.defaultPrinter != name)
        return upgrade("the printer " + name + " is not the default printer");
    std::string reason = "the printer " + name + " has the driver " + printer.driverName + " of the package's identity " +
                         request.packageIdentity + ", " + portDescription(request, printer.portName);
    reason += request.setDefault ? ", and it is the default printer" : ", and the default printer is not asked for";
    return {RerunOutcome::AlreadyInstalled, reason, {}};
}

}  // namespace

RerunDecision decideRerun(const RerunRequest& request, const InstalledState& installed, const PortLists& ports) {
    RerunDecision decision = decide(request, installed, ports);
    if (installed.printer) decision.port = installed.printer->portName;
    return decision;
}

InstalledState readInstalledState(Platform& platform, const std::string& printerName, bool defaultAsked) {
    InstalledState state;
    Result<std::optional<PrinterRecord>> printer = readPrinter(platform.spooler, printerName);
    if (printer) state.printer = *printer;
    state.record = readInstallationRecord(platform.registry, printerName);
    if (defaultAsked) state.defaultPrinter = readDefaultPrinter(platform.registry);
    return state;
}

RerunDecision decideBeforeUnpack(Platform& platform, Program program, RerunRequest request,
                                 const std::string& listText, std::span<const ArchiveEntry> entries,
                                 const PortLists& ports) {
    if (request.force) return decideRerun(request, {}, ports);
    const InstalledState installed = readInstalledState(platform, request.printerName, request.setDefault);
    const std::optional<int> index =
        installed.printer ? driverIndexOfDisplayName(installed.printer->driverName) : std::nullopt;
    if (!index) return decideRerun(request, installed, ports);
    request.driverName = installed.printer->driverName;
    request.packageIdentity = packageIdentity(program, *index, listText, entries);
    return decideRerun(request, installed, ports);
}

bool decideAtInstall(DialogContext& context, const std::string& printerName, const std::string& driverName) {
    InstallValues& values = context.values;
    values.keptPrinter.reset();
    if (!values.keepInstalled) return true;
    RerunRequest request;
    request.printerName = printerName;
    request.driverName = driverName;
    request.packageIdentity = packageIdentity(context.config.program, *values.driverIndex,
                                              context.window.driverListText(), entriesOf(values.packageFiles));
    request.portKind = *values.portKind;
    request.portName = values.namedPort;
    request.setDefault = values.setDefaultPrinter == 1;
    request.force = values.forceInstall;
    const InstalledState installed = readInstalledState(context.platform, printerName, request.setDefault);
    const RerunDecision decision = decideRerun(request, installed, values.ports);
    switch (decision.outcome) {
        case RerunOutcome::Install:
            context.notes.note("Installing: " + decision.reason + ".");
            return true;
        case RerunOutcome::Upgrade:
            context.notes.note("Upgrading, the printer is kept: " + decision.reason + ". Identity " +
                               (installed.record ? installed.record->packageIdentity : std::string("none")) + " -> " +
                               request.packageIdentity + ".");
            values.keptPrinter = installed.printer;
            return true;
        case RerunOutcome::AlreadyInstalled:
            context.notes.note("Already installed: " + decision.reason + ".");
            values.alreadyInstalled = true;
            finishUnchanged(context, decision.port);
            return false;
    }
    return true;
}

std::string installedIdentity(Program program, const InstallValues& values) {
    return packageIdentity(program, values.driverIndex.value_or(-1), values.installed.listText,
                           entriesOf(values.packageFiles));
}

InstallationRecord recordOfInstallation(Program program, const InstallValues& values, const LocalTime& now,
                                        const std::optional<InstallationRecord>& earlier) {
    const InstalledDriver& driver = values.installed;
    InstallationRecord record;
    record.program = buildConfig(program).programName;
    record.version = programVersion(program);
    record.driverName = driver.displayName;
    record.environment = driver.environment;
    record.packageIdentity = installedIdentity(program, values);
    record.port = values.printerPort;
    record.monitor = driver.monitor;
    // What this installer added stays its own when a later run finds it there.
    const bool samePort = earlier && earlier->port == record.port;
    const bool sameMonitor = earlier && !record.monitor.empty() && earlier->monitor == record.monitor;
    record.portAdded = values.portAdded || (samePort && earlier->portAdded);
    record.monitorAdded = driver.monitorAdded || (sameMonitor && earlier->monitorAdded);
    record.installedAt = std::to_string(now.year) + "-" + twoDigits(now.month) + "-" + twoDigits(now.day) + " " +
                         twoDigits(now.hour) + ":" + twoDigits(now.minute) + ":" + twoDigits(now.second);
    return record;
}

}  // namespace setup
