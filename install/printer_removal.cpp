#include "install/printer_removal.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <optional>

#include "config/build_config.h"
#include "config/removal_texts.h"
#include "install/driver_staging.h"
#include "install/installation_record.h"

namespace setup {

namespace {

// The environments a driver of this installer can be registered in.
const char* const driverEnvironments[] = {environmentX86, environmentX64};

// Windows compares the names of printers, drivers, monitors and ports without case.
bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// One thing to remove: how the log names it, the call that removes it, and the call itself,
// which answers 0 when the thing went or was gone already, else the error.
struct Step {
    std::string what;
    std::string call;
    std::function<std::uint32_t()> run;
};

std::uint32_t errorOf(SpoolerCall call, std::uint32_t meaningGone = 0) {
    return call.ok || (meaningGone != 0 && call.error == meaningGone) ? 0 : call.error;
}

// One removal: first what is on the machine, then the steps it decides on, then the steps.
class Removal {
public:
    Removal(Spooler& spooler, Registry& registry, const RemovalRequest& request)
        : spooler_(spooler), registry_(registry), name_(request.printerName) {}

    RemovalOutcome run() {
        if (survey()) {
            planPrinter();
            planDriver();
            planMonitor();
            planPort();
            planRecord();
            execute();
        }
        return outcome_;
    }

private:
    // A read that failed: nothing has been removed, and whatever is there stays.
    bool unread(const std::string& call, std::uint32_t error) {
        outcome_.failedCall = call;
        outcome_.error = error;
        if (!printerAbsent_) outcome_.left.push_back(fillText(text::removalPrinter, {name_}));
        if (recordKeyExists_) outcome_.left.push_back(text::removalRecord);
        return false;
    }

    // The record, the printer with its settings, the other printers, every driver and port.
    bool survey() {
        readRecord();
        return readPrinter() && readSpooler();
    }

    void readRecord() {
        record_ = readInstallationRecord(registry_, name_);
        if (record_) {
            recordKeyExists_ = true;
            return;
        }
        // A key that cannot be read whole is still this installer's to delete.
        Result<Handle> key = registry_.openKey64(RegistryRoot::LocalMachine, installationRecordKey(name_),
                                                 RegistryAccess::QueryValue);
        if (key) registry_.closeKey(*key);
        recordKeyExists_ = key || key.error() != win_error::fileNotFound;
    }

    bool readPrinter() {
        Result<Handle> printer = spooler_.openPrinter(name_, "RAW", printerAllAccess);
        if (!printer) {
            printerAbsent_ = printer.error() == spooler_error::invalidPrinterName;
            return printerAbsent_ || unread("OpenPrinter(" + name_ + ")", printer.error());
        }
        printer_ = PrinterHandle(spooler_, *printer);
        Result<PrinterRecord> settings = spooler_.getPrinter(*printer);
        if (!settings) return unread("GetPrinter(" + name_ + ")", settings.error());
        settings_ = *settings;
        return true;
    }

    bool readSpooler() {
        Result<std::vector<PrinterRecord>> printers = spooler_.enumPrinters(printerEnumLocalConnections);
        if (!printers) return unread("EnumPrinters", printers.error());
        for (const PrinterRecord& other : *printers)
            if (!sameName(other.printerName, name_)) others_.push_back(other);
        for (const char* environment : driverEnvironments) {
            Result<std::vector<DriverRecord>> drivers = spooler_.enumPrinterDrivers(environment);
            // A spooler that does not know an environment has no driver in it.
            if (!drivers && drivers.error() == spooler_error::invalidEnvironment) continue;
            if (!drivers) return unread(std::string("EnumPrinterDrivers(") + environment + ")", drivers.error());
            drivers_.insert(drivers_.end(), drivers->begin(), drivers->end());
        }
        Result<std::vector<PortInfo>> ports = spooler_.enumPorts();
        if (!ports) return unread("EnumPorts", ports.error());
        ports_ = *ports;
        return true;
    }

    std::vector<std::string> printersWhere(const std::function<bool(const PrinterRecord&)>& uses) const {
        std::vector<std::string> names;
        for (const PrinterRecord& other : others_)
            if (uses(other)) names.push_back(other.printerName);
        return names;
    }

    void keep(const std::string& what, const std::string& why) { outcome_.kept.push_back({what, why}); }

    void planPrinter() {
        if (printer_) {
            steps_.push_back({fillText(text::removalPrinter, {name_}), "DeletePrinter(" + name_ + ")", [this] {
                                  spooler_.setPrinterCommand(printer_.get(), printerControlPurge);
                                  const std::uint32_t error = errorOf(spooler_.deletePrinter(printer_.get()));
                                  // The spooler lets a printer go once its last handle is closed.
                                  if (error == 0) printer_.reset();
                                  return error;
                              }});
        }
    }

    // The printer's driver, or the record's when the printer has gone, in each environment
    // it was added for, unless another printer uses it.
    void planDriver() {
        driverName_ = settings_ ? settings_->driverName : record_ ? record_->driverName : std::string();
        if (driverName_.empty()) return;
        const std::vector<std::string> users =
            printersWhere([&](const PrinterRecord& p) { return sameName(p.driverName, driverName_); });
        for (const DriverRecord& driver : drivers_) {
            if (!sameName(driver.name, driverName_) || (record_ && driver.environment != record_->environment))
                continue;
            const std::string what = fillText(text::removalDriver, {driver.name, driver.environment});
            if (!users.empty()) {
                keep(what, fillText(text::keptUsedByPrinters, {joined(users)}));
                continue;
            }
            goingDrivers_.push_back(&driver);
            steps_.push_back({what, "DeletePrinterDriverEx(" + driver.name + ", " + driver.environment + ")",
                              [this, environment = driver.environment] {
                                  return errorOf(spooler_.deletePrinterDriverEx(environment, driverName_,
                                                                                dpdDeleteUnusedFiles),
                                                 spooler_error::unknownPrinterDriver);
                              }});
        }
    }

    // The language monitor this installer added, once no driver that stays names it.
    void planMonitor() {
        std::string monitor = record_ ? record_->monitor : std::string();
        if (!record_) {
            for (const DriverRecord& driver : drivers_)
                if (sameName(driver.name, driverName_) && !driver.monitorName.empty()) monitor = driver.monitorName;
        }
        if (monitor.empty()) return;
        const std::string what = fillText(text::removalMonitor, {monitor});
        if (!record_) return keep(what, text::keptNoRecord);
        if (!record_->monitorAdded) return keep(what, text::keptNotAdded);
        std::vector<std::string> namers;
        for (const DriverRecord& driver : drivers_) {
            const bool going = std::find(goingDrivers_.begin(), goingDrivers_.end(), &driver) != goingDrivers_.end();
            if (!going && sameName(driver.monitorName, monitor) &&
                std::find(namers.begin(), namers.end(), driver.name) == namers.end())
                namers.push_back(driver.name);
        }
        if (!namers.empty()) return keep(what, fillText(text::keptNamedByDrivers, {joined(namers)}));
        steps_.push_back({what, "DeleteMonitor(" + monitor + ")", [this, monitor] {
                              return errorOf(spooler_.deleteMonitor(record_->environment, monitor),
                                             spooler_error::unknownPrintMonitor);
                          }});
    }

    // The TCP/IP port this installer added, once no other printer is on it.
    void planPort() {
        const std::string port = record_ ? record_->port : settings_ ? settings_->portName : std::string();
        if (port.empty()) return;
        const std::string what = fillText(text::removalPort, {port});
        if (!record_) return keep(what, text::keptNoRecord);
        if (!record_->portAdded) return keep(what, text::keptNotAdded);
        const std::vector<std::string> users =
            printersWhere([&](const PrinterRecord& p) { return sameName(p.portName, port); });
        if (!users.empty()) return keep(what, fillText(text::keptUsedByPrinters, {joined(users)}));
        if (std::none_of(ports_.begin(), ports_.end(), [&](const PortInfo& p) { return sameName(p.name, port); }))
            return;
        // Without a window: a port monitor's DeletePortUI then shows no dialog.
        steps_.push_back({what, "DeletePort(" + port + ")", [this, port] { return errorOf(spooler_.deletePort(0, port)); }});
    }

    void planRecord() {
        if (!recordKeyExists_) return;
        steps_.push_back({text::removalRecord, "RegDeleteKeyEx(HKLM\\" + installationRecordKey(name_) + ")",
                          [this] { return deleteInstallationRecord(registry_, name_); }});
    }

    void execute() {
        for (std::size_t i = 0; i < steps_.size(); ++i) {
            const std::uint32_t error = steps_[i].run();
            if (error == 0) {
                outcome_.removed.push_back(steps_[i].what);
                continue;
            }
            outcome_.failedCall = steps_[i].call;
            outcome_.error = error;
            for (std::size_t left = i; left < steps_.size(); ++left) outcome_.left.push_back(steps_[left].what);
            return;
        }
    }

    Spooler& spooler_;
    Registry& registry_;
    const std::string name_;

    bool recordKeyExists_ = false;
    std::optional<InstallationRecord> record_;
    bool printerAbsent_ = false;
    PrinterHandle printer_;
    std::optional<PrinterRecord> settings_;
    std::vector<PrinterRecord> others_;
    std::vector<DriverRecord> drivers_;
    std::vector<PortInfo> ports_;
    std::string driverName_;
    std::vector<const DriverRecord*> goingDrivers_;

    std::vector<Step> steps_;
    RemovalOutcome outcome_;
};

}  // namespace

RemovalOutcome removeInstallation(Spooler& spooler, Registry& registry, const RemovalRequest& request) {
    return Removal(spooler, registry, request).run();
}

}  // namespace setup
