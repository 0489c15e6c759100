// The simulated spooler's drivers, monitors and printers, the registry keys it keeps for its
// printers, and the file and token operations an installation uses.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/sim/sim_text.h"
#include "platform/sim/sim_windows.h"

namespace setup::sim {

namespace fs = std::filesystem;

namespace {

// The names of a multi-string: NUL-terminated, ended by an empty name.
std::vector<std::string> multiStringNames(const std::string& block) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < block.size() && block[at] != '\0') {
        std::size_t end = block.find('\0', at);
        if (end == std::string::npos) end = block.size();
        names.push_back(block.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

const char* const onlineKeyPrefix = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

}  // namespace

std::string SimWindows::printerKey(const std::string& printer) {
    return std::string(onlineKeyPrefix) + printer;
}

std::uint32_t SimWindows::injectedFailure(const std::string& call, const std::string& argument) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto failing = failingCalls.find(call);
    if (failing == failingCalls.end() && !argument.empty()) failing = failingCalls.find(call + " " + argument);
    if (failing == failingCalls.end()) return 0;
    auto before = callsBeforeFailing.find(failing->first);
    if (before != callsBeforeFailing.end() && before->second > 0) {
        --before->second;
        return 0;
    }
    return failing->second;
}

bool SimWindows::fileExists(const std::string& windowsPath) const {
    std::error_code error;
    return fs::is_regular_file(resolve(windowsPath, false), error);
}

// --- drivers and monitors ------------------------------------------------------------------------

Result<std::string> SimWindows::printerDriverDirectory(const std::string& environment, std::uint32_t bufferSize) {
    record("GetPrinterDriverDirectory " + environment);
    auto known = driverDirectories.find(environment);
    if (known == driverDirectories.end()) return Result<std::string>::failure(spooler_error::invalidEnvironment);
    const std::string& folder = known->second;
    if (folder.size() + 1 > bufferSize) return Result<std::string>::failure(122);  // ERROR_INSUFFICIENT_BUFFER
    fs::create_directories(resolve(folder, true));
    return folder;
}

SpoolerCall SimWindows::addPrinterDriverEx(const DriverRecord& driver, std::uint32_t flags) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("AddPrinterDriverEx " + driver.name + " " + driver.environment);
    if (std::uint32_t error = injectedFailure("AddPrinterDriverEx")) return {false, error};
    auto known = driverDirectories.find(driver.environment);
    if (known == driverDirectories.end()) return {false, spooler_error::invalidEnvironment};
    const std::string& folder = known->second;
    if (flags & apdCopyNewFiles) {
        // Every file the record names must be there to be copied; dependent files are named
        // relative to the driver directory.
        std::vector<std::string> named{driver.driverPath, driver.dataFile, driver.configFile, driver.helpFile};
        for (const std::string& dependent : multiStringNames(driver.dependentFiles))
            named.push_back(folder + (dependent.front() == '\\' ? "" : "\\") + dependent);
        for (const std::string& file : named)
            if (!fileExists(file)) return {false, win_error::fileNotFound};
    }
    if (!driver.monitorName.empty() &&
        std::none_of(monitors.begin(), monitors.end(), [&](const MonitorRecord& m) { return m.name == driver.monitorName; }))
        return {false, spooler_error::unknownPrintMonitor};
    auto same = std::find_if(drivers.begin(), drivers.end(), [&](const DriverRecord& d) {
        return d.name == driver.name && d.environment == driver.environment;
    });
    if (same != drivers.end())
        *same = driver;
    else
        drivers.push_back(driver);
    return {true, 0};
}

Result<std::vector<DriverRecord>> SimWindows::enumPrinterDrivers(const std::string& environment) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("EnumPrinterDrivers " + environment);
    if (std::uint32_t error = injectedFailure("EnumPrinterDrivers")) return Result<std::vector<DriverRecord>>::failure(error);
    if (!driverDirectories.count(environment)) return Result<std::vector<DriverRecord>>::failure(spooler_error::invalidEnvironment);
    std::vector<DriverRecord> registered;
    std::copy_if(drivers.begin(), drivers.end(), std::back_inserter(registered),
                 [&](const DriverRecord& d) { return d.environment == environment; });
    return registered;
}

// The spooler's printers run on the drivers of the machine's own environment: one of those a
// printer names cannot go; the same driver added for another environment (for clients of a
// shared printer) can.
SpoolerCall SimWindows::deletePrinterDriverEx(const std::string& environment, const std::string& driverName,
                                              std::uint32_t flags) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("DeletePrinterDriverEx " + driverName + " " + environment + " " + std::to_string(flags));
    if (std::uint32_t error = injectedFailure("DeletePrinterDriverEx")) return {false, error};
    if (!driverDirectories.count(environment)) return {false, spooler_error::invalidEnvironment};
    auto found = std::find_if(drivers.begin(), drivers.end(), [&](const DriverRecord& d) {
        return d.name == driverName && d.environment == environment;
    });
    if (found == drivers.end()) return {false, spooler_error::unknownPrinterDriver};
    const std::string ownEnvironment = wow64.value_or(false) ? "Windows x64" : "Windows NT x86";
    if (environment == ownEnvironment &&
        std::any_of(printers.begin(), printers.end(), [&](const PrinterRecord& p) { return p.driverName == driverName; }))
        return {false, spooler_error::printerDriverInUse};
    drivers.erase(found);
    return {true, 0};
}

SpoolerCall SimWindows::deleteMonitor(const std::string& environment, const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("DeleteMonitor " + name);
    if (std::uint32_t error = injectedFailure("DeleteMonitor")) return {false, error};
    auto found = std::find_if(monitors.begin(), monitors.end(), [&](const MonitorRecord& m) { return m.name == name; });
    if (found == monitors.end()) return {false, spooler_error::unknownPrintMonitor};
    (void)environment;
    monitors.erase(found);
    return {true, 0};
}

SpoolerCall SimWindows::addMonitor(const MonitorRecord& monitor) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("AddMonitor " + monitor.name + " " + monitor.dllName);
    if (std::uint32_t error = injectedFailure("AddMonitor")) return {false, error};
    if (std::any_of(monitors.begin(), monitors.end(), [&](const MonitorRecord& m) { return m.name == monitor.name; }))
        return {false, spooler_error::printMonitorAlreadyInstalled};
    // The spooler loads the monitor's DLL from the path the record gives.
    if (!fileExists(monitor.dllName)) return {false, spooler_error::modNotFound};
    std::ifstream dll(resolve(monitor.dllName, false), std::ios::binary);
    if (unloadableDllContents.count(std::string(std::istreambuf_iterator<char>(dll), {})))
        return {false, spooler_error::badExeFormat};
    monitors.push_back(monitor);
    return {true, 0};
}

// --- printers ----------------------------------------------------------------------------------

void SimWindows::storePrinterKeys(const std::string& printer, const std::string& port) {
    const std::string keys[] = {
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\" + printer,
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\" + printer + "\\DsSpooler",
        printerKey(printer),
    };
    for (const std::string& key : keys) registry_[registryKeyName(RegistryRoot::LocalMachine, key)];
    storeValue(registryKeyName(RegistryRoot::LocalMachine, keys[0]), {"Port", regSz, port + '\0'});
    storeValue(registryKeyName(RegistryRoot::LocalMachine, keys[1]), {"portName", regSz, port + '\0'});
    storeValue(registryKeyName(RegistryRoot::LocalMachine, keys[2]), {"Port", regSz, port + '\0'});
}

Result<Handle> SimWindows::openPrinter(const std::string& name, const std::string&, std::uint32_t) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("OpenPrinter " + name);
    if (std::uint32_t error = injectedFailure("OpenPrinter")) return Result<Handle>::failure(error);
    // The spooler finds a printer by its name in any case.
    auto found = std::find_if(printers.begin(), printers.end(),
                              [&](const PrinterRecord& p) { return equalNoCase(p.printerName, name); });
    if (found == printers.end()) return Result<Handle>::failure(spooler_error::invalidPrinterName);
    return openObject({OpenObject::Printer, found->printerName});
}

SpoolerCall SimWindows::setPrinterCommand(Handle printer, std::uint32_t command) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("SetPrinter " + std::to_string(command));
    if (!object(printer, OpenObject::Printer)) return {false, win_error::invalidHandle};
    return {true, 0};
}

Result<PrinterRecord> SimWindows::getPrinter(Handle printer) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("GetPrinter");
    const OpenObject* open = object(printer, OpenObject::Printer);
    if (!open) return Result<PrinterRecord>::failure(win_error::invalidHandle);
    if (std::uint32_t error = injectedFailure("GetPrinter")) return Result<PrinterRecord>::failure(error);
    auto found = std::find_if(printers.begin(), printers.end(),
                              [&](const PrinterRecord& p) { return p.printerName == open->name; });
    if (found == printers.end()) return Result<PrinterRecord>::failure(spooler_error::invalidPrinterName);
    return *found;
}

SpoolerCall SimWindows::deletePrinter(Handle printer) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("DeletePrinter");
    const OpenObject* open = object(printer, OpenObject::Printer);
    if (!open) return {false, win_error::invalidHandle};
    if (std::uint32_t error = injectedFailure("DeletePrinter")) return {false, error};
    std::string name = open->name;
    printers.erase(std::remove_if(printers.begin(), printers.end(),
                                  [&](const PrinterRecord& p) { return p.printerName == name; }),
                   printers.end());
    return {true, 0};
}

void SimWindows::closePrinter(Handle printer) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("ClosePrinter");
    open_.erase(printer);
}

Result<Handle> SimWindows::addPrinter(const PrinterRecord& printer) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("AddPrinter " + printer.printerName + " " + printer.portName + " " + printer.driverName);
    if (std::uint32_t error = injectedFailure("AddPrinter", printer.driverName))
        return Result<Handle>::failure(error);
    if (std::any_of(printers.begin(), printers.end(),
                    [&](const PrinterRecord& p) { return p.printerName == printer.printerName; }))
        return Result<Handle>::failure(spooler_error::printerAlreadyExists);
    if (std::none_of(drivers.begin(), drivers.end(), [&](const DriverRecord& d) { return d.name == printer.driverName; }))
        return Result<Handle>::failure(spooler_error::unknownPrinterDriver);
    if (std::none_of(ports.begin(), ports.end(), [&](const PortInfo& p) { return p.name == printer.portName; }))
        return Result<Handle>::failure(spooler_error::unknownPort);
    printers.push_back(printer);
    storePrinterKeys(printer.printerName, printer.portName);
    return openObject({OpenObject::Printer, printer.printerName});
}

Result<std::vector<PrinterRecord>> SimWindows::enumPrinters(std::uint32_t flags) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("EnumPrinters " + std::to_string(flags));
    if (std::uint32_t error = injectedFailure("EnumPrinters")) return Result<std::vector<PrinterRecord>>::failure(error);
    return printers;
}

// A started spooler takes each printer's port from its registry key and reports the printer
// online in the current hardware profile when a device is attached to that port.
void SimWindows::spoolerStarted() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (PrinterRecord& printer : printers) {
        std::optional<std::string> port = registryValue(RegistryRoot::LocalMachine, printerKey(printer.printerName), "Port");
        if (port) printer.portName = port->substr(0, port->find('\0'));
        std::string online(4, '\0');
        online[0] = attachedDevices.count(printer.portName) ? 1 : 0;
        setRegistryValue(RegistryRoot::CurrentConfig, printerKey(printer.printerName), "PrinterOnLine", regDword, online);
    }
}

// --- registry ----------------------------------------------------------------------------------

Result<Handle> SimWindows::createKey(RegistryRoot root, const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return createKeyNamed(registryKeyName(root, path, true), "RegCreateKeyEx", path);
}

Result<Handle> SimWindows::createKey64(RegistryRoot root, const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return createKeyNamed(registryKeyName(root, path), "RegCreateKeyEx64", path);
}

Result<Handle> SimWindows::createKeyNamed(const std::string& name, const std::string& call, const std::string& path) {
    record(call + " " + path);
    if (std::uint32_t error = injectedFailure(call)) return Result<Handle>::failure(error);
    // RegCreateKeyEx makes every missing key on the way.
    for (std::size_t cut = name.find('\\'); cut != std::string::npos; cut = name.find('\\', cut + 1))
        registry_[name.substr(0, cut)];
    registry_[name];
    return openObject({OpenObject::Key, name});
}

Result<std::string> SimWindows::queryValue(Handle key, const std::string& name, std::uint32_t bufferSize) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("RegQueryValueEx " + name);
    const OpenObject* open = object(key, OpenObject::Key);
    if (!open) return Result<std::string>::failure(win_error::invalidHandle);
    if (std::uint32_t error = injectedFailure("RegQueryValueEx")) return Result<std::string>::failure(error);
    for (const RegistryValue& value : registry_[open->name].values) {
        if (!equalNoCase(value.name, name)) continue;
        if (value.data.size() > bufferSize) return Result<std::string>::failure(win_error::moreData);
        return value.data;
    }
    return Result<std::string>::failure(win_error::fileNotFound);
}

// --- files and token ---------------------------------------------------------------------------

bool SimWindows::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    record("CopyFile " + from + " " + to);
    if (injectedFailure("CopyFile", to)) return false;
    std::error_code error;
    fs::path target = resolve(to, true);
    if (!fileExists(from) || !fs::is_directory(target.parent_path(), error)) return false;
    if (failIfExists && fs::exists(target, error)) return false;
    return fs::copy_file(resolve(from, false), target, fs::copy_options::overwrite_existing, error);
}

bool SimWindows::moveFile(const std::string& from, const std::string& to, bool replaceExisting) {
    record("MoveFile " + from + " " + to);
    if (injectedFailure("MoveFile", to)) return false;
    std::error_code error;
    fs::path target = resolve(to, true);
    if (!fileExists(from) || readOnly(to) || !fs::is_directory(target.parent_path(), error)) return false;
    if (fs::exists(target, error) && (!replaceExisting || !fileExists(to))) return false;
    fs::rename(resolve(from, false), target, error);
    return !error;
}

std::string SimWindows::systemDirectory(std::uint32_t bufferSize) {
    return systemDir.size() < bufferSize ? systemDir : std::string();
}

std::string SimWindows::windowsDirectory(std::uint32_t bufferSize) {
    return windowsDir.size() < bufferSize ? windowsDir : std::string();
}

bool SimWindows::enablePrivilege(const std::string& name) {
    record("AdjustTokenPrivileges " + name);
    if (injectedFailure("AdjustTokenPrivileges")) return false;
    privilegeEnabled = true;
    return true;
}

}  // namespace setup::sim
