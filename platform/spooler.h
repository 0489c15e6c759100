#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace setup {

// One PORT_INFO_2 record.
struct PortInfo {
    std::string name;
    std::string monitor;
    std::string description;
    std::uint32_t type = 0;
};

// How a spooler call that answers TRUE or FALSE ended; error is GetLastError read right
// after a failure.
struct SpoolerCall {
    bool ok = false;
    std::uint32_t error = 0;
};

// One DRIVER_INFO_3A record. dependentFiles is the whole multi-string buffer as the program
// built it: NUL-terminated names, the list ended by an empty name.
struct DriverRecord {
    std::uint32_t version = 0;
    std::string name;
    std::string environment;
    std::string driverPath;
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    std::string dependentFiles;
    std::string monitorName;
    std::string defaultDataType;
};

// One MONITOR_INFO_2A record.
struct MonitorRecord {
    std::string name;
    std::string environment;
    std::string dllName;
};

// The fields of a PRINTER_INFO_2A record the program sets or reads; every other field
// (server name, device mode, security descriptor, status, job count, speed) is zero or null.
// A new printer sets the first five; a printer read back to be added again keeps them all.
struct PrinterRecord {
    std::string printerName;
    std::string portName;
    std::string driverName;
    std::string printProcessor;
    std::string datatype;
    std::string shareName{};
    std::string comment{};
    std::string location{};
    std::string separatorFile{};
    std::string parameters{};
    std::uint32_t attributes = 0;
    std::uint32_t priority = 0;
    std::uint32_t defaultPriority = 0;
    std::uint32_t startTime = 0;
    std::uint32_t untilTime = 0;

    bool operator==(const PrinterRecord&) const = default;
};

constexpr std::uint32_t apdCopyNewFiles = 4;              // AddPrinterDriverExA flags
constexpr std::uint32_t dpdDeleteUnusedFiles = 1;         // DeletePrinterDriverExA flags
constexpr std::uint32_t printerAllAccess = 0xF000C;       // PRINTER_ALL_ACCESS
constexpr std::uint32_t printerControlPurge = 3;          // SetPrinterA command
constexpr std::uint32_t printerEnumLocalConnections = 6;  // PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS

// Spooler error codes the program tells apart.
namespace spooler_error {
constexpr std::uint32_t modNotFound = 126;
constexpr std::uint32_t badExeFormat = 193;
constexpr std::uint32_t unknownPort = 1796;
constexpr std::uint32_t unknownPrinterDriver = 1797;
constexpr std::uint32_t invalidPrinterName = 1801;
constexpr std::uint32_t printerAlreadyExists = 1802;
constexpr std::uint32_t invalidEnvironment = 1805;
constexpr std::uint32_t unknownPrintMonitor = 3000;
constexpr std::uint32_t printerDriverInUse = 3001;
constexpr std::uint32_t printMonitorAlreadyInstalled = 3006;
}  // namespace spooler_error

// The print spooler on the local machine (no server name). Size queries and second calls
// of the enumerations are the implementation's business: the results are the records in
// the spooler's order.
class Spooler {
public:
    virtual ~Spooler() = default;
    virtual Result<std::vector<PortInfo>> enumPorts() = 0;  // EnumPortsA, level 2

    // GetPrinterDriverDirectoryA at level 1 into a buffer of bufferSize bytes.
    virtual Result<std::string> printerDriverDirectory(const std::string& environment, std::uint32_t bufferSize) = 0;
    virtual SpoolerCall addPrinterDriverEx(const DriverRecord& driver, std::uint32_t flags) = 0;  // level 3
    // EnumPrinterDriversA at level 3: the drivers registered for the environment.
    virtual Result<std::vector<DriverRecord>> enumPrinterDrivers(const std::string& environment) = 0;
    // DeletePrinterDriverExA for every version of the driver in the environment.
    virtual SpoolerCall deletePrinterDriverEx(const std::string& environment, const std::string& driverName,
                                              std::uint32_t flags) = 0;
    virtual SpoolerCall deleteMonitor(const std::string& environment, const std::string& name) = 0;
    virtual SpoolerCall addMonitor(const MonitorRecord& monitor) = 0;  // level 2

    // OpenPrinterA with defaults of the given data type, no device mode and the access.
    virtual Result<Handle> openPrinter(const std::string& name, const std::string& datatype,
                                       std::uint32_t access) = 0;
    virtual SpoolerCall setPrinterCommand(Handle printer, std::uint32_t command) = 0;  // SetPrinterA, level 0
    virtual Result<PrinterRecord> getPrinter(Handle printer) = 0;                      // GetPrinterA, level 2
    virtual SpoolerCall deletePrinter(Handle printer) = 0;
    virtual void closePrinter(Handle printer) = 0;
    virtual Result<Handle> addPrinter(const PrinterRecord& printer) = 0;  // AddPrinterA, level 2
    // EnumPrintersA with an empty name, level 2.
    virtual Result<std::vector<PrinterRecord>> enumPrinters(std::uint32_t flags) = 0;

    // AddPortA(NULL, parent, monitor): the monitor's own dialog for a new port, modal to parent.
    virtual SpoolerCall addPort(Handle parent, const std::string& monitor) = 0;
    // ConfigurePortA(NULL, parent, port): the port monitor's configuration dialog.
    virtual SpoolerCall configurePort(Handle parent, const std::string& port) = 0;
    // DeletePortA(NULL, parent, port).
    virtual SpoolerCall deletePort(Handle parent, const std::string& port) = 0;
};

// A printer handle that closes itself through its spooler (ClosePrinter).
using PrinterHandle = UniqueHandle<Spooler, &Spooler::closePrinter>;

}  // namespace setup
