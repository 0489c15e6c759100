#include <windows.h>
#include <winspool.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

std::string textOrEmpty(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

// The thread's last error is read before anything else can change it.
SpoolerCall spoolerCall(BOOL done) {
    return done ? SpoolerCall{true, 0} : SpoolerCall{false, GetLastError()};
}

}  // namespace

Result<std::vector<PortInfo>> Win32Spooler::enumPorts() {
    // The first call only learns the size; it fails with ERROR_INSUFFICIENT_BUFFER when
    // there are ports, and reports a size of 0 when there are none.
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    if (needed == 0) return std::vector<PortInfo>{};

    std::vector<BYTE> buffer(needed);
    returned = 0;
    if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned))
        return Result<std::vector<PortInfo>>::failure(GetLastError());

    const auto* records = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    std::vector<PortInfo> ports;
    ports.reserve(returned);
    for (DWORD i = 0; i < returned; ++i) {
        ports.push_back(PortInfo{textOrEmpty(records[i].pPortName), textOrEmpty(records[i].pMonitorName),
                                 textOrEmpty(records[i].pDescription), records[i].fPortType});
    }
    return ports;
}

SpoolerCall Win32Spooler::addPort(Handle parent, const std::string& monitor) {
    return spoolerCall(AddPortA(nullptr, fromHandle<HWND>(parent), const_cast<char*>(monitor.c_str())));
}

SpoolerCall Win32Spooler::configurePort(Handle parent, const std::string& port) {
    return spoolerCall(ConfigurePortA(nullptr, fromHandle<HWND>(parent), const_cast<char*>(port.c_str())));
}

SpoolerCall Win32Spooler::deletePort(Handle parent, const std::string& port) {
    return spoolerCall(DeletePortA(nullptr, fromHandle<HWND>(parent), const_cast<char*>(port.c_str())));
}

}  // namespace setup::win32

namespace setup::win32 {

namespace {

// The spooler's API takes writable strings; these point into the caller's records, which
// outlive the call.
char* text(const std::string& value) {
    return const_cast<char*>(value.c_str());
}

SpoolerCall outcome(BOOL done) {
    return done ? SpoolerCall{true, 0} : SpoolerCall{false, GetLastError()};
}

// Empty texts go as null pointers, as a zeroed record has them.
char* textOrNull(const std::string& value) {
    return value.empty() ? nullptr : text(value);
}

// The PRINTER_INFO_2A fields the program keeps, each beside its member of PrinterRecord, so
// that reading a record and writing one name every field once.
struct PrinterText {
    LPSTR PRINTER_INFO_2A::*info;
    std::string PrinterRecord::*record;
};
struct PrinterNumber {
    DWORD PRINTER_INFO_2A::*info;
    std::uint32_t PrinterRecord::*record;
};
constexpr PrinterText printerTexts[] = {
    {&PRINTER_INFO_2A::pPrinterName, &PrinterRecord::printerName},
    {&PRINTER_INFO_2A::pPortName, &PrinterRecord::portName},
    {&PRINTER_INFO_2A::pDriverName, &PrinterRecord::driverName},
    {&PRINTER_INFO_2A::pPrintProcessor, &PrinterRecord::printProcessor},
    {&PRINTER_INFO_2A::pDatatype, &PrinterRecord::datatype},
    {&PRINTER_INFO_2A::pShareName, &PrinterRecord::shareName},
    {&PRINTER_INFO_2A::pComment, &PrinterRecord::comment},
    {&PRINTER_INFO_2A::pLocation, &PrinterRecord::location},
    {&PRINTER_INFO_2A::pSepFile, &PrinterRecord::separatorFile},
    {&PRINTER_INFO_2A::pParameters, &PrinterRecord::parameters},
};
constexpr PrinterNumber printerNumbers[] = {
    {&PRINTER_INFO_2A::Attributes, &PrinterRecord::attributes},
    {&PRINTER_INFO_2A::Priority, &PrinterRecord::priority},
    {&PRINTER_INFO_2A::DefaultPriority, &PrinterRecord::defaultPriority},
    {&PRINTER_INFO_2A::StartTime, &PrinterRecord::startTime},
    {&PRINTER_INFO_2A::UntilTime, &PrinterRecord::untilTime},
};

PrinterRecord printerRecordOf(const PRINTER_INFO_2A& info) {
    PrinterRecord printer;
    for (const PrinterText& field : printerTexts) printer.*field.record = textOrEmpty(info.*field.info);
    for (const PrinterNumber& field : printerNumbers) printer.*field.record = info.*field.info;
    return printer;
}

// Points into the printer's texts, which must outlive the record.
PRINTER_INFO_2A printerInfoOf(const PrinterRecord& printer) {
    PRINTER_INFO_2A info{};
    for (const PrinterText& field : printerTexts) info.*field.info = textOrNull(printer.*field.record);
    for (const PrinterNumber& field : printerNumbers) info.*field.info = printer.*field.record;
    return info;
}

}  // namespace

Result<std::string> Win32Spooler::printerDriverDirectory(const std::string& environment, std::uint32_t bufferSize) {
    std::string buffer(bufferSize, '\0');
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, text(environment), 1, reinterpret_cast<BYTE*>(buffer.data()), bufferSize,
                                    &needed))
        return Result<std::string>::failure(GetLastError());
    buffer.resize(buffer.find('\0'));
    return buffer;
}

SpoolerCall Win32Spooler::addPrinterDriverEx(const DriverRecord& driver, std::uint32_t flags) {
    DRIVER_INFO_3A record{};
    record.cVersion = driver.version;
    record.pName = text(driver.name);
    record.pEnvironment = text(driver.environment);
    record.pDriverPath = text(driver.driverPath);
    record.pDataFile = text(driver.dataFile);
    record.pConfigFile = text(driver.configFile);
    record.pHelpFile = text(driver.helpFile);
    record.pDependentFiles = text(driver.dependentFiles);
    record.pMonitorName = text(driver.monitorName);
    record.pDefaultDataType = text(driver.defaultDataType);
    return outcome(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&record), flags));
}

namespace {

// A multi-string buffer as the program builds one: each name ended by a NUL, the list by an
// empty name.
std::string multiStringOf(const char* names) {
    std::string block;
    if (names != nullptr) {
        for (const char* name = names; *name != '\0'; name += std::char_traits<char>::length(name) + 1)
            block += std::string(name) + '\0';
    }
    return block + '\0';
}

}  // namespace

Result<std::vector<DriverRecord>> Win32Spooler::enumPrinterDrivers(const std::string& environment) {
    DWORD needed = 0;
    DWORD returned = 0;
    // The first call only learns the size: TRUE with no size when there are no drivers.
    if (!EnumPrinterDriversA(nullptr, text(environment), 3, nullptr, 0, &needed, &returned) && needed == 0)
        return Result<std::vector<DriverRecord>>::failure(GetLastError());
    if (needed == 0) return std::vector<DriverRecord>{};
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversA(nullptr, text(environment), 3, buffer.data(), needed, &needed, &returned))
        return Result<std::vector<DriverRecord>>::failure(GetLastError());
    const auto* records = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
    std::vector<DriverRecord> drivers;
    for (DWORD i = 0; i < returned; ++i) {
        const DRIVER_INFO_3A& info = records[i];
        drivers.push_back(DriverRecord{info.cVersion, textOrEmpty(info.pName), textOrEmpty(info.pEnvironment),
                                       textOrEmpty(info.pDriverPath), textOrEmpty(info.pDataFile),
                                       textOrEmpty(info.pConfigFile), textOrEmpty(info.pHelpFile),
                                       multiStringOf(info.pDependentFiles), textOrEmpty(info.pMonitorName),
                                       textOrEmpty(info.pDefaultDataType)});
    }
    return drivers;
}

SpoolerCall Win32Spooler::deletePrinterDriverEx(const std::string& environment, const std::string& driverName,
                                                std::uint32_t flags) {
    return outcome(DeletePrinterDriverExA(nullptr, text(environment), text(driverName), flags, 0));
}

SpoolerCall Win32Spooler::deleteMonitor(const std::string& environment, const std::string& name) {
    return outcome(DeleteMonitorA(nullptr, text(environment), text(name)));
}

SpoolerCall Win32Spooler::addMonitor(const MonitorRecord& monitor) {
    MONITOR_INFO_2A record{text(monitor.name), text(monitor.environment), text(monitor.dllName)};
    return outcome(AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&record)));
}

Result<Handle> Win32Spooler::openPrinter(const std::string& name, const std::string& datatype, std::uint32_t access) {
    PRINTER_DEFAULTSA defaults{text(datatype), nullptr, access};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(text(name), &printer, &defaults)) return Result<Handle>::failure(GetLastError());
    return reinterpret_cast<Handle>(printer);
}

SpoolerCall Win32Spooler::setPrinterCommand(Handle printer, std::uint32_t command) {
    return outcome(SetPrinterA(reinterpret_cast<HANDLE>(printer), 0, nullptr, command));
}

SpoolerCall Win32Spooler::deletePrinter(Handle printer) {
    return outcome(DeletePrinter(reinterpret_cast<HANDLE>(printer)));
}

void Win32Spooler::closePrinter(Handle printer) {
    ClosePrinter(reinterpret_cast<HANDLE>(printer));
}

Result<PrinterRecord> Win32Spooler::getPrinter(Handle printer) {
    DWORD needed = 0;
    GetPrinterA(reinterpret_cast<HANDLE>(printer), 2, nullptr, 0, &needed);
    if (needed == 0) return Result<PrinterRecord>::failure(GetLastError());
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterA(reinterpret_cast<HANDLE>(printer), 2, buffer.data(), needed, &needed))
        return Result<PrinterRecord>::failure(GetLastError());
    return printerRecordOf(*reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data()));
}

Result<Handle> Win32Spooler::addPrinter(const PrinterRecord& printer) {
    PRINTER_INFO_2A record = printerInfoOf(printer);
    HANDLE created = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&record));
    if (created == nullptr) return Result<Handle>::failure(GetLastError());
    return reinterpret_cast<Handle>(created);
}

Result<std::vector<PrinterRecord>> Win32Spooler::enumPrinters(std::uint32_t flags) {
    char noName[] = "";
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPrintersA(flags, noName, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    returned = 0;
    if (!EnumPrintersA(flags, noName, 2, buffer.data(), needed, &needed, &returned))
        return Result<std::vector<PrinterRecord>>::failure(GetLastError());
    const auto* records = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    std::vector<PrinterRecord> printers;
    for (DWORD i = 0; i < returned; ++i) printers.push_back(printerRecordOf(records[i]));
    return printers;
}

}  // namespace setup::win32
