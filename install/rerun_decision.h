#pragma once

#include <optional>
#include <span>
#include <string>

#include "context/dialog_context.h"
#include "install/installation_record.h"

namespace setup {

// What a run that may find its printer installed already does with it.
enum class RerunOutcome {
    Install,           // as ever: the printer is created (again) on the port asked for
    Upgrade,           // the printer stays; the package's driver files are registered again
    AlreadyInstalled,  // nothing to do: nothing is changed
};

struct RerunDecision {
    RerunOutcome outcome = RerunOutcome::Install;
    std::string reason;  // for the log, in the ANSI code page
    std::string port;    // the port the printer of the name is on; empty without one
};

// What the run asks for.
struct RerunRequest {
    std::string printerName;
    std::string driverName;       // the driver the package's choice registers
    std::string packageIdentity;  // of the package's files for that driver
    int portKind = portKindSerial;
    std::optional<std::string> portName;  // the port named on the command line
    bool setDefault = false;
    bool force = false;
};

// What the machine has of the printer.
struct InstalledState {
    std::optional<PrinterRecord> printer;
    std::optional<InstallationRecord> record;
    std::optional<std::string> defaultPrinter;  // the name the user's default printer has
};

// The decision, by these rules in turn: /force, no printer of the name, a printer with
// another driver, or one on a port not of the kind asked (or not the port named) is
// installed as ever; a printer without a record of this driver, from a package of another
// identity, or not the default printer when that is asked, is upgraded; else it is there.
RerunDecision decideRerun(const RerunRequest& request, const InstalledState& installed, const PortLists& ports);

// Reads the printer's settings, its record and the user's default printer. Nothing of the
// printer when the spooler cannot say.
// The default printer is read only when it is asked for.
InstalledState readInstalledState(Platform& platform, const std::string& printerName, bool defaultAsked);

// Before the package is unpacked, from its listing: whether the printer is installed from
// this package as asked, so that nothing need be unpacked. The driver list is in the
// package, so the driver is taken to be the one the printer has; the identity covers the
// list and the listed name too, so an identity equal to the record's means that the listed
// name still gives that driver. request.driverName and packageIdentity are filled here;
// request.printerName is the printer's, listText the driver list's name asked for.
RerunDecision decideBeforeUnpack(Platform& platform, Program program, RerunRequest request,
                                 const std::string& listText, std::span<const ArchiveEntry> entries,
                                 const PortLists& ports);

// At Install, in an engine of a run that keeps what is installed: decides with the driver
// chosen, says why in the log and prepares the values (the printer kept for an upgrade).
// False when the printer is there as asked: the installation is then finished, unchanged.
bool decideAtInstall(DialogContext& context, const std::string& printerName, const std::string& driverName);

// The identity of the package's files for the driver this run installed.
std::string installedIdentity(Program program, const InstallValues& values);

// The record of the installation that ended with the printer created: what it registered,
// the port it ends on and when, and what an earlier record of the printer says this
// installer added on that port and monitor.
InstallationRecord recordOfInstallation(Program program, const InstallValues& values, const LocalTime& now,
                                        const std::optional<InstallationRecord>& earlier);

}  // namespace setup
