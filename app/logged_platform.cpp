#include "app/logged_platform.h"

#include <map>
#include <memory>

namespace setup {

namespace {

// What an unattended run answers for a port monitor's dialog: ERROR_CANCELLED.
constexpr std::uint32_t cancelledByUser = 1223;

const char* rootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::LocalMachine: return "HKLM\\";
        case RegistryRoot::CurrentUser: return "HKCU\\";
        case RegistryRoot::CurrentConfig: return "HKCC\\";
    }
    return "";
}

// Logs "call(argument) failed: error n" for a failed call; passes every result through.
class FailureLog {
public:
    explicit FailureLog(RunLog& log) : log_(log) {}
    void failed(const std::string& call, const std::string& argument, std::uint32_t error) {
        log_.ansiLine("Failed: " + call + "(", argument + "), error " + std::to_string(error));
    }
    template <class T>
    Result<T> check(Result<T> result, const std::string& call, const std::string& argument = {}) {
        if (!result) failed(call, argument, result.error());
        return result;
    }
    SpoolerCall check(SpoolerCall result, const std::string& call, const std::string& argument = {}) {
        if (!result.ok) failed(call, argument, result.error);
        return result;
    }
    // A call that answers with an error number, win_error::success when it worked.
    std::uint32_t checkError(std::uint32_t error, const std::string& call, const std::string& argument = {}) {
        if (error != win_error::success) failed(call, argument, error);
        return error;
    }

private:
    RunLog& log_;
};

}  // namespace

class LoggedPlatform::Services : public ServiceControl {
public:
    Services(ServiceControl& inner, RunLog& log) : inner_(inner), log_(log) {}
    Result<Handle> openManager() override { return log_.check(inner_.openManager(), "OpenSCManager"); }
    Result<Handle> openService(Handle manager, const std::string& name) override {
        return log_.check(inner_.openService(manager, name), "OpenService", name);
    }
    Result<ServiceState> queryStatus(Handle service) override {
        return log_.check(inner_.queryStatus(service), "QueryServiceStatus");
    }
    std::uint32_t start(Handle service) override { return log_.checkError(inner_.start(service), "StartService"); }
    std::uint32_t stop(Handle service) override {
        return log_.checkError(inner_.stop(service), "ControlService(stop)");
    }
    void close(Handle handle) override { inner_.close(handle); }

private:
    ServiceControl& inner_;
    FailureLog log_;
};

class LoggedPlatform::Spooler : public setup::Spooler {
public:
    Spooler(setup::Spooler& inner, RunLog& log, bool unattended)
        : inner_(inner), log_(log), unattended_(unattended), runLog_(log) {}
    Result<std::vector<PortInfo>> enumPorts() override { return log_.check(inner_.enumPorts(), "EnumPorts"); }
    Result<std::string> printerDriverDirectory(const std::string& environment, std::uint32_t bufferSize) override {
        return log_.check(inner_.printerDriverDirectory(environment, bufferSize), "GetPrinterDriverDirectory",
                          environment);
    }
    SpoolerCall addPrinterDriverEx(const DriverRecord& driver, std::uint32_t flags) override {
        return log_.check(inner_.addPrinterDriverEx(driver, flags), "AddPrinterDriverEx", driver.name);
    }
    Result<std::vector<DriverRecord>> enumPrinterDrivers(const std::string& environment) override {
        return log_.check(inner_.enumPrinterDrivers(environment), "EnumPrinterDrivers", environment);
    }
    SpoolerCall deletePrinterDriverEx(const std::string& environment, const std::string& driverName,
                                      std::uint32_t flags) override {
        return log_.check(inner_.deletePrinterDriverEx(environment, driverName, flags), "DeletePrinterDriverEx",
                          driverName + ", " + environment);
    }
    SpoolerCall deleteMonitor(const std::string& environment, const std::string& name) override {
        return log_.check(inner_.deleteMonitor(environment, name), "DeleteMonitor", name);
    }
    SpoolerCall addMonitor(const MonitorRecord& monitor) override {
        return log_.check(inner_.addMonitor(monitor), "AddMonitor", monitor.name);
    }
    // Opening a printer is how the program asks whether one of that name is there: "no
    // such printer" is an answer, not a failure.
    Result<Handle> openPrinter(const std::string& name, const std::string& datatype, std::uint32_t access) override {
        Result<Handle> printer = inner_.openPrinter(name, datatype, access);
        if (!printer && printer.error() == spooler_error::invalidPrinterName) {
            runLog_.ansiLine("", "No printer " + name + " yet (OpenPrinter: error 1801)");
            return printer;
        }
        return log_.check(std::move(printer), "OpenPrinter", name);
    }
    SpoolerCall setPrinterCommand(Handle printer, std::uint32_t command) override {
        return log_.check(inner_.setPrinterCommand(printer, command), "SetPrinter");
    }
    SpoolerCall deletePrinter(Handle printer) override {
        return log_.check(inner_.deletePrinter(printer), "DeletePrinter");
    }
    Result<PrinterRecord> getPrinter(Handle printer) override { return log_.check(inner_.getPrinter(printer), "GetPrinter"); }
    void closePrinter(Handle printer) override { inner_.closePrinter(printer); }
    Result<Handle> addPrinter(const PrinterRecord& printer) override {
        return log_.check(inner_.addPrinter(printer), "AddPrinter", printer.printerName + ", " + printer.portName);
    }
    Result<std::vector<PrinterRecord>> enumPrinters(std::uint32_t flags) override {
        return log_.check(inner_.enumPrinters(flags), "EnumPrinters");
    }
    SpoolerCall addPort(Handle parent, const std::string& monitor) override {
        if (unattended_) return notShown("AddPort", monitor);
        return log_.check(inner_.addPort(parent, monitor), "AddPort", monitor);
    }
    SpoolerCall configurePort(Handle parent, const std::string& port) override {
        if (unattended_) return notShown("ConfigurePort", port);
        return log_.check(inner_.configurePort(parent, port), "ConfigurePort", port);
    }
    SpoolerCall deletePort(Handle parent, const std::string& port) override {
        if (unattended_) return notShown("DeletePort", port);
        return log_.check(inner_.deletePort(parent, port), "DeletePort", port);
    }

private:
    SpoolerCall notShown(const std::string& call, const std::string& argument) {
        runLog_.ansiLine(call + "(", argument + ") not called: the port monitor's dialog needs a user");
        return {false, cancelledByUser};
    }

    setup::Spooler& inner_;
    FailureLog log_;
    bool unattended_;
    RunLog& runLog_;
};

// The archiver DLL: a copy that is there and cannot be used is logged with its path. One
// that is not there is looked for in the next folder; the run says at its end where.
class LoggedPlatform::Archiver : public ArchiverDll {
public:
    Archiver(ArchiverDll& inner, FileSystem& files, RunLog& log) : inner_(inner), files_(files), log_(log) {}
    Handle load(const std::string& path) override {
        Handle module = inner_.load(path);
        if (module == 0 && files_.attributesW(path)) log_.line("Failed: LoadLibraryEx(" + path + "): it does not load");
        if (module != 0) paths_[module] = path;
        return module;
    }
    void free(Handle module) override {
        paths_.erase(module);
        inner_.free(module);
    }
    EntryPoint find(Handle module, const std::string& name) override {
        EntryPoint entry = inner_.find(module, name);
        if (entry == 0)
            log_.line("Failed: GetProcAddress(" + paths_[module] + ", " + name +
                      "): no such entry point, so it is not the archiver this program drives");
        return entry;
    }
    ArchiverCall sevenZip(EntryPoint entry, Handle window, const std::string& commandLine, std::string& output,
                          std::uint32_t outputSize) override {
        return inner_.sevenZip(entry, window, commandLine, output, outputSize);
    }
    bool setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) override {
        return inner_.setOwnerWindowEx(entry, window, std::move(progress));
    }
    bool killOwnerWindowEx(EntryPoint entry, Handle window) override {
        return inner_.killOwnerWindowEx(entry, window);
    }
    ArchiverListing listEntries(EntryPoint entry, const std::string& archivePath, std::uint32_t outputSize) override {
        return inner_.listEntries(entry, archivePath, outputSize);
    }

private:
    ArchiverDll& inner_;
    FileSystem& files_;
    RunLog& log_;
    std::map<Handle, std::string> paths_;
};

class LoggedPlatform::Registry : public setup::Registry {
public:
    Registry(setup::Registry& inner, RunLog& log) : inner_(inner), log_(log), runLog_(log) {}
    Result<Handle> openKey(RegistryRoot root, const std::string& path, RegistryAccess access) override {
        return log_.check(inner_.openKey(root, path, access), "RegOpenKeyEx", rootName(root) + path);
    }
    Result<RegistryValue> enumValue(Handle key, std::uint32_t index, std::uint32_t nameCapacity,
                                    std::uint32_t dataCapacity) override {
        Result<RegistryValue> value = inner_.enumValue(key, index, nameCapacity, dataCapacity);
        // The end of the values is how every enumeration stops.
        if (value || value.error() == win_error::noMoreItems) return value;
        return log_.check(std::move(value), "RegEnumValue", std::to_string(index));
    }
    std::uint32_t setValue(Handle key, const std::string& name, std::uint32_t type, const std::string& data) override {
        return log_.checkError(inner_.setValue(key, name, type, data), "RegSetValueEx", name);
    }
    Result<Handle> createKey(RegistryRoot root, const std::string& path) override {
        return log_.check(inner_.createKey(root, path), "RegCreateKeyEx", rootName(root) + path);
    }
    Result<std::string> queryValue(Handle key, const std::string& name, std::uint32_t bufferSize) override {
        return log_.check(inner_.queryValue(key, name, bufferSize), "RegQueryValueEx", name);
    }
    void closeKey(Handle key) override { inner_.closeKey(key); }
    // The 64-bit registry holds the installation records: a missing key is an answer.
    Result<Handle> openKey64(RegistryRoot root, const std::string& path, RegistryAccess access) override {
        Result<Handle> key = inner_.openKey64(root, path, access);
        // The installer's own keys are looked for on every run: one not there is no failure.
        if (key || key.error() == win_error::fileNotFound) return key;
        return log_.check(std::move(key), "RegOpenKeyEx", rootName(root) + path);
    }
    Result<Handle> createKey64(RegistryRoot root, const std::string& path) override {
        return log_.check(inner_.createKey64(root, path), "RegCreateKeyEx", rootName(root) + path);
    }
    std::uint32_t deleteKey64(RegistryRoot root, const std::string& path) override {
        return log_.checkError(inner_.deleteKey64(root, path), "RegDeleteKeyEx", rootName(root) + path);
    }

private:
    setup::Registry& inner_;
    FailureLog log_;
    RunLog& runLog_;
};

LoggedPlatform::LoggedPlatform(const Platform& system, RunLog& log, bool unattended)
    : services_(std::make_unique<Services>(system.services, log)),
      spooler_(std::make_unique<Spooler>(system.spooler, log, unattended)),
      registry_(std::make_unique<Registry>(system.registry, log)),
      archiver_(std::make_unique<Archiver>(system.archiver, system.files, log)),
      platform_{*services_, *spooler_, *registry_, system.files, system.system, *archiver_, system.serial} {}

LoggedPlatform::~LoggedPlatform() = default;

}  // namespace setup
