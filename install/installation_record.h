#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace setup {

// What this installer leaves for deployment tools to detect an installation by, and for
// its own later runs to re-run, upgrade and remove it by: one key per printer below
// HKLM\SOFTWARE\Thermal Printer Setup\Printers, in the machine's 64-bit registry.
struct InstallationRecord {
    std::string program;          // "multisetup" or "solosetup"
    std::string version;          // the program's version
    std::string driverName;       // the driver's name as the spooler has it
    std::string environment;      // the spooler environment it was added for
    std::string packageIdentity;  // the identity of the package's files for that driver
    std::string port;             // the port the printer ends on
    bool portAdded = false;       // this installer added that port (TCP/IP)
    std::string monitor;          // the language monitor the driver names; empty for none
    bool monitorAdded = false;    // this installer added that monitor
    std::string installedAt;      // local time, "YYYY-MM-DD hh:mm:ss"

    bool operator==(const InstallationRecord&) const = default;
};

// The key of the records, and the names of a record's values, as deployment tools read them.
namespace record_value {
constexpr const char* recordsKey = "SOFTWARE\\Thermal Printer Setup\\Printers";
constexpr const char* program = "Program";
constexpr const char* version = "Version";
constexpr const char* driver = "Driver";
constexpr const char* environment = "Environment";
constexpr const char* packageIdentity = "PackageIdentity";
constexpr const char* port = "Port";
constexpr const char* portAdded = "PortAddedBySetup";
constexpr const char* monitor = "Monitor";
constexpr const char* monitorAdded = "MonitorAddedBySetup";
constexpr const char* installedAt = "InstalledAt";
}  // namespace record_value

// HKLM\<this> is the record key of a printer.
std::string installationRecordKey(const std::string& printerName);

// The record of a printer; nothing when there is none or it cannot be read whole.
std::optional<InstallationRecord> readInstallationRecord(Registry& registry, const std::string& printerName);
// Writes the whole record (the key is made when missing); 0 or the first error.
std::uint32_t writeInstallationRecord(Registry& registry, const std::string& printerName,
                                      const InstallationRecord& record);
// Deletes a printer's record; 0 also when there was none.
std::uint32_t deleteInstallationRecord(Registry& registry, const std::string& printerName);

}  // namespace setup
