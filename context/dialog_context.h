#pragma once

// What an operation of the main dialog works with: the values the installation shares, the
// system, and the calls that reach the user. The dialog owns the values and answers the calls;
// the operations below it (probes, package, engines, port selection) take this context and
// never the dialog itself.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/build_config.h"
#include "platform/main_window.h"
#include "platform/platform.h"

namespace setup {

class SerialSearch;

// Port kinds: the rows of the port-type list.
enum PortKind : int { portKindSerial = 0, portKindUsb = 1, portKindParallel = 2, portKindTcpIp = 3 };

// A port kind as the log names it: "serial", "USB", "parallel", "TCP/IP".
const char* portKindName(int portKind);

// The port names the spooler and the serial device map report, sorted by kind.
struct PortLists {
    std::vector<std::string> all;
    std::vector<std::string> usb;
    std::vector<std::string> serial;
    std::vector<std::string> parallel;
    std::vector<std::string> tcpIp;

    void clear();
    // The list of a port kind; null for a kind outside serial..TCP/IP.
    const std::vector<std::string>* ofKind(int portKind) const;
};

// Serial line settings used while looking for a serial printer. The search starts at
// 19200 baud, the rate the serial prompt preselects.
struct SerialSettings {
    int baudRate = 19200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int eventMask = 3;
};

// The four receipt groups, in driver-index order.
struct GroupSizes {
    int group1 = 0, group2 = 0, group3 = 0, group4 = 0;
    int receiptCount() const { return group1 + group2 + group3 + group4; }
};

// Printers the spooler lists: entry i of both lists belongs to the same printer.
struct PrinterLists {
    std::vector<std::string> names;
    std::vector<std::string> ports;
};

// What an installation registered, for the installation record.
struct InstalledDriver {
    std::string printerName;
    std::string displayName;
    std::string environment;
    std::string listText;        // the driver list's name the driver was chosen by
    std::string monitor;         // the language monitor the driver names; empty for none
    bool monitorAdded = false;   // AddMonitor added it (it was not there already)
};

// The values the installation shares, owned by the main dialog.
struct InstallValues {
    int setDefaultPrinter = 1;
    GroupSizes groupSizes;
    std::optional<int> driverIndex;
    std::optional<int> portKind;
    PortLists ports;
    std::string chosenPort;
    // Whether the chosen kind's port list had a port at the last Install.
    bool portsFound = true;
    bool is64Bit = false;
    // The files the driver package unpacked, by full path in lower case: what a copy of one
    // must hold.
    std::map<std::string, ArchiveEntry> packageFiles;
    // The port kind the last port enumeration preselected.
    int preferredPortKind = portKindUsb;
    // A serial or USB port named before Install: the printer goes there without a search.
    std::optional<std::string> givenPort;

    // A quiet run that looks at what is installed first: a printer of the name with the
    // driver and port asked for is kept (and left alone when the package's files are the
    // installed ones). The port the command line named, of any kind.
    bool keepInstalled = false;
    bool forceInstall = false;  // /force: installed as ever all the same
    std::optional<std::string> namedPort;
    // The printer the installation keeps: only its driver's files are registered again.
    std::optional<PrinterRecord> keptPrinter;
    // The printer was there as asked: nothing was changed.
    bool alreadyInstalled = false;
    // What the installation registered, and whether the TCP/IP port check added the port.
    InstalledDriver installed;
    bool portAdded = false;

    // How the installation ended: the port the printer is on, whether that port is known to
    // be the printer's (found by the search, given, or the only one of its kind), and whether
    // Install reached "&Finish".
    std::string printerPort;
    bool printerPortConfirmed = false;
    bool installationCompleted = false;
    // A spooler restart of the port search was refused or never ended: the printer exists,
    // but the spooler has not taken its port, so the installation is not called complete.
    bool spoolerStopped = false;
    void printerEndsOn(const std::string& port, bool confirmed) {
        printerPort = port;
        printerPortConfirmed = confirmed;
    }

    // The line settings a serial printer is installed with: those of a port named before
    // Install, and those the serial search starts from.
    SerialSettings serialSettings;
    // The dialog's serial search, which a serial printer's installation starts.
    SerialSearch* serialSearch = nullptr;
};

// The calls an operation makes on the dialog the user sees, beyond its controls.
class DialogCalls {
public:
    virtual ~DialogCalls() = default;
    // Sets the status text and shows it (from any thread; returns once it is shown).
    virtual void statusStep(const std::string& text) = 0;
    // Copies the values to the controls without changing the status text.
    virtual void refresh() = 0;
    // The printer-name edit shows the driver list's choice.
    virtual void printerNameFollowsDriver() = 0;
    // A message box with the program's title as caption; returns the answer.
    virtual int appMessageBox(const std::string& text, std::uint32_t style) = 0;
    // Takes the controls' data and ends the dialog as confirmed.
    virtual void closeConfirmed() = 0;
    // True once the dialog is being destroyed: long waits give up early.
    virtual bool closing() const = 0;
};

// Lines for the run's log about what the screen does not show: leftovers of an earlier run
// put right, an expected answer that is not a failure. Texts are in the ANSI code page, as
// the program shows them. Without a log they go nowhere.
class RunNotes {
public:
    virtual ~RunNotes() = default;
    virtual void note(const std::string& text) = 0;
};

// Notes nobody keeps: a run without a log.
class NoRunNotes : public RunNotes {
public:
    void note(const std::string&) override {}
};

// How a failed system call is told to the user: the system's text for the error, without
// its closing line break, and the error number ("Access is denied. (error 5)").
std::string systemErrorText(System& system, std::uint32_t error);

// Everything an operation of the main dialog needs. The window gives the controls, the
// message boxes the dialog owns and the modal port dialogs.
struct DialogContext {
    Platform& platform;
    const BuildConfig& config;
    MainWindow& window;
    InstallValues& values;
    DialogCalls& calls;
    RunNotes& notes;
};

}  // namespace setup
