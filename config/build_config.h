#pragma once

#include <array>
#include <initializer_list>
#include <string>

#include "config/program.h"

namespace setup {

// One row of the port-type list.
struct PortTypeRow {
    const char* port;
    const char* description;
};

// Everything that tells the two programs apart, fixed when a program is built. Texts stand
// exactly as the program shows them.
struct BuildConfig {
    Program program;
    const char* programName;
    // Port-type list: the "Description" column's width and the four rows.
    int descriptionColumnWidth;
    std::array<PortTypeRow, 4> portTypeRows;
    // OS probe: the prefix of the status text and the name of each OS code (index = code;
    // codes without a name are null).
    const char* systemPrefix;
    std::array<const char*, 13> osNames;
    // Receipt engine: the Retry/Cancel box after a failed driver registration (%d: the error).
    const char* receiptDriverNotAdded;
    // Installation tail: the status when the printer went to a parallel port because the
    // chosen kind had none; the port follows directly.
    const char* noSerialPort;

    // USB port search: the box shown when no USB port reports the printer online. On
    // Windows 7 solosetup writes every USB port in turn and checks none.
    const char* usbSelectFailed;
    bool usbWindows7WithoutCheck;
    // Serial port search. Without probing, the prompt is shown but its answer is not used.
    bool probesSerialPorts;
    const char* serialKeptPortTail;     // after "The current printer port is " and the first port, when not searched
    const char* serialSinglePortTail;   // ... when the only serial port was taken
    const char* serialNotFoundHead;     // before the first port, when no port answered (the search itself)
    const char* serialProbeNotFoundHead;  // ... (the last probe)
    const char* serialNotFoundTail;     // after the first port, when no port answered
};

const BuildConfig& buildConfig(Program program);

// A text of this file with each "%s" replaced by the next value, in order; "%u" takes a
// number given as its decimal text the same way.
std::string fillText(const char* format, std::initializer_list<std::string> values);

// Texts the same in both programs.
namespace text {
constexpr const char* readingDriverFile = "Reading driver file...";
constexpr const char* serviceStatusUnknown = "Service status is unknown";
constexpr const char* finishCaption = "&Finish";
constexpr const char* portColumn = "Port";
constexpr const char* descriptionColumn = "Description";
constexpr const char* noPrinterChosen =
    "No printer is chosen.\r\n\r\nThe driver list is empty: the driver package DriverData.Drv was not found in the "
    "current folder, or 7-zip32.dll was not found beside the program.\r\nPlace DriverData.Drv in the current folder "
    "and 7-zip32.dll beside the program, and start the program again.";
// The same when preparation told the user why the package is not used: that reason.
constexpr const char* noPrinterBecause = "No printer is chosen.\r\n\r\n%s";
constexpr const char* noDriverForPrinter = "The printer \"%s\" has no driver in this package (driver index %d).";
// Shown when a service does not reach a state in time: service name, state, seconds.
constexpr const char* serviceTimedOut = "The service %s did not reach the state %s within %d seconds.";
// Shown when the service manager refuses a request: service name, "started" or "stopped",
// the system's text for the error with its number.
constexpr const char* serviceRefused = "The service %s could not be %s.\r\n\r\n%s";
// A port the user chose in a port dialog that the refreshed port list no longer holds.
constexpr const char* portGone = "The port %s is no longer available.\r\n\r\nPlease press Install and choose a port again.";
// The spooler's port monitor could not add a TCP/IP port: the system's text with its number.
constexpr const char* tcpIpPortNotAdded = "The TCP/IP port could not be added.\r\n\r\n%s";

// Driver installation. "\xA3\xBA" is the full-width colon of code page 936.
constexpr const char* addingPrinterDriver = "Adding printer drive ";
constexpr const char* driverAddedHead = "Driver ";
constexpr const char* driverAddedTail = " is added";
constexpr const char* labelDriverNotAdded =
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" "exit and abort installation";
constexpr const char* errorCaption = "Error";
constexpr const char* reinstallCaption = "Reinstall";
constexpr const char* monitorNotAdded = "Failed to add Monitor\r\n";
// What became of what was there before, after "Failed to add Monitor". %s: the monitor DLL.
constexpr const char* monitorDllPutBack = "The monitor DLL %s that was there before is back as it was.";
constexpr const char* monitorDllRemoved = "The copied monitor DLL %s was removed; there was none before.";
constexpr const char* monitorDllNotPutBack = "The monitor DLL %s that was there before could not be put back.";
constexpr const char* monitorRegisteredAgain = "\r\nThe Advanced Language Monitor installed before is registered again.";
// %u: the spooler's error.
constexpr const char* monitorNotRegisteredAgain =
    "\r\nThe Advanced Language Monitor installed before could not be registered again (error %u).";
// A copied driver file that is not the package's. %s: the copy.
constexpr const char* copiedFileDiffers =
    "The installation was stopped: %s does not hold the driver package's file (it could not be copied, or its "
    "size or contents differ from the package's, so the unpacked file was changed after unpacking).\r\nWhat was "
    "copied has been removed and nothing more was registered. Start the program again.";
// The package lacks a file the model tables name for the driver. %s: the file.
constexpr const char* packageLacksFile = "The driver package has no file %s";
// What a run ended from outside had moved aside: the kept file, the file it was beside.
constexpr const char* keptFilePutBack =
    "%s, kept aside by an installation that was ended before it finished, was put back as %s.";
constexpr const char* keptFileRemoved =
    "%s, kept aside by an installation that was ended before it finished, was removed: %s holds the same bytes.";
constexpr const char* keptFileNotPutBack =
    "%s, kept aside by an installation that was ended before it finished, could not be put back as %s.\r\n"
    "Nothing was installed. Put it back by hand and start the program again.";
// Appended when some file the copies replaced could not be put back. %s: those files.
constexpr const char* copiesNotRestored = "\r\nThese files could not be put back as they were: %s";
constexpr const char* monitorAdded = "Advanced Language Monitor is added";
constexpr const char* printerExistsHead = "The printer ";
constexpr const char* printerExistsTail = " exists,Re-adding the printer...";
constexpr const char* printerAdded = "Added the printer ";
// The status when a USB printer went to a parallel port because there was no USB port.
constexpr const char* noUsbPort = "There's no USB port,the current port is";
constexpr const char* noUsefulPort = "There's no available useful port,please select other type of port";
constexpr const char* missingSystemFiles = "Missing system flies,please repair system";
constexpr const char* promptCaption = "Prompt";
constexpr const char* addPrinterFailed = "Error AddPrinter %d";
constexpr const char* errorPromptCaption = "Error prompt";
// The "Device" value could not be written. The box's text with the error; the status line
// names the printer and the error.
constexpr const char* defaultPrinterRegistryFailed = "Error\xA3\xBA" "Failed to set regist\r\n(error %u)";
constexpr const char* defaultPrinterNotSet = "The printer %s could not be made the default printer (error %u)";
// A printer of the name being installed was there before. Name, port and driver of the old
// printer; the error of the spooler's refusal where one is given.
constexpr const char* printerKept = "The printer %s that was there before was kept as it was (port %s, driver %s).";
constexpr const char* printerNotRestored =
    "The printer %s that was there before (port %s, driver %s) was removed and could not be created again "
    "(error %u).";
constexpr const char* printerUnreadable =
    "The printer %s exists, but its settings could not be read (error %u).\r\nIt was left as it was, and no "
    "printer was created.";
// Asked before an installation replaces a printer of another driver: name, its driver, its
// port, the driver being installed.
constexpr const char* replacePrinterQuestion =
    "A printer named %s is already installed, with the driver %s on the port %s.\r\n\r\nReplace it with a "
    "printer of the driver %s?\r\n\r\nYes: the printer is deleted and created again with the new driver.\r\n"
    "No: the printer stays as it is and nothing is installed.";
constexpr const char* replacePrinterCaption = "Prompt";
// The serial search had moved printers to the parking port and one could not be put back:
// one line per printer, name and port.
constexpr const char* parkedPrintersNotRestored =
    "The search for the serial port had moved these printers to another port, and they could not be put back on "
    "their own port:\r\n%s\r\nSet their ports in the printer settings.";
constexpr const char* parkedPrinterLine = "%s on %s\r\n";
constexpr const char* setDefaultHead = "Set the printer ";
constexpr const char* setDefaultTail = " to default printer";
constexpr const char* installationCompleted = "The installation is completed.";
// The status when the print spooler could not be started for a registration.
constexpr const char* installationStoppedNoSpooler =
    "The installation is stopped: the print spooler is not running.";
// Said instead of installing when a path or a name would not be what the spooler gets.
constexpr const char* pathTooLong =
    "The path\r\n%s\r\nis longer than the installer can pass to the spooler (at most %d characters).\r\n"
    "Nothing was installed.";
constexpr const char* noDriverDirectory =
    "The print spooler did not give its driver folder for \"%s\" (error %u).\r\nNothing was installed.";
constexpr const char* printerNameRefused =
    "The printer name \"%s\" cannot be used: %s.\r\nNothing was installed; correct the name and press Install again.";
constexpr const char* printerNameEmpty = "it is empty";
constexpr const char* printerNameTooLong = "it is longer than 220 characters";
constexpr const char* printerNameComma = "it holds a comma";
constexpr const char* printerNameBackslash = "it holds a backslash";
constexpr const char* printerNameBlank = "it holds only blanks";
// The port checks and the port dialogs.
constexpr const char* noParallelPort = "There is no available parallel port.\r\n\r\nPlease select other port type.";
constexpr const char* noTcpIpPort = "There is no available TCP/IP port\r\nClick \"Add port\" to create a new port";
constexpr const char* noTcpIpPortCaption = "Prompt";
constexpr const char* configureNotSupported = "Failed to configure printer port.\r\nThe request is not supported.";
constexpr const char* configureNotSupportedCaption = "Configure Port";
constexpr const char* configureHardwareError = "Failed to configure printer port.\r\nA hardware error occurred. ";
constexpr const char* configureHardwareErrorCaption = "Configure Por";
constexpr const char* deleteNotSupported = "Failed to delete port.The request is not supported.";
constexpr const char* deleteNotSupportedCaption = "Delete Port";
// Why the driver package is not used. %s: the entry as the package names it.
constexpr const char* packageEntryOutside =
    "The driver package DriverData.Drv was not unpacked: it holds \"%s\", which lies outside the places a driver "
    "package may use (C:\\DriverName.cfg and the folders C:\\Ticket\\ and C:\\Barcode\\).\r\nNothing was "
    "written. Ask the supplier for a sound package.";
// %s: the path of what is in the way.
constexpr const char* packageFileInTheWay =
    "The driver package DriverData.Drv was not unpacked: %s is a file, where the package needs a folder.\r\nThat "
    "file is not the package's and was left alone. Move it away and start the program again.";
constexpr const char* packageFolderInTheWay =
    "The driver package DriverData.Drv was not unpacked: %s is a folder, where the package needs a file.\r\nThat "
    "folder is not the package's and was left alone. Move it away and start the program again.";
constexpr const char* packageLinkInTheWay =
    "The driver package DriverData.Drv was not unpacked: %s is a link to another place, and the package is never "
    "unpacked through links.\r\nThat link was left alone. Remove it and start the program again.";
constexpr const char* packageUsersFileInTheWay =
    "The driver package DriverData.Drv was not unpacked: %s is in the way, and it is not a file of the package "
    "(its size or contents differ).\r\nThat file was left alone and nothing was written. Move it away and start "
    "the program again.";
// %s: the folder; %u: the system's error code.
constexpr const char* packageFolderNotMade =
    "The driver package DriverData.Drv was not unpacked: the folder %s could not be created with its access "
    "list (error %u).\r\nNothing was written.";
// %s: the archiver's reason.
constexpr const char* packageDamaged =
    "The driver package DriverData.Drv is damaged and was not used; nothing of it was left on the disk.\r\nThe "
    "archiver said: %s\r\nAsk the supplier for a sound package.";
constexpr const char* archiverRaised = "it ended with an exception";
// For the log. %s: the file an earlier run's archiver was writing when that run was killed.
constexpr const char* killedRunsTemporaryRemoved =
    "Removed %s: the archiver of an earlier run was still writing it when that run was stopped.";
constexpr const char* killedRunsTemporaryKept =
    "Could not remove %s, which the archiver of an earlier run was still writing when that run was stopped; it "
    "stays, and does not keep the package from being unpacked.";
// For the log. %s: a file an earlier run unpacked, as that run's journal gives it.
constexpr const char* earlierRunsFileRemoved =
    "Removed %s: an earlier run unpacked it and was stopped before its clean-up.";
constexpr const char* earlierRunsFileKept =
    "Could not remove %s, which an earlier run unpacked and was stopped before its clean-up; it stays.";
constexpr const char* earlierRunsFileChanged =
    "Left %s alone: an earlier run unpacked it, but it has changed since.";
// For the log. %s: the registry's error code.
constexpr const char* unpackJournalNotKept =
    "The list of what this run unpacks could not be kept in the registry (error %s): were this run stopped "
    "before its clean-up, the next run would take the files it unpacked for someone else's.";
constexpr const char* packageFolderUnspellable =
    "The driver package DriverData.Drv cannot be unpacked from the current folder: the archiver 7-zip32.dll takes "
    "paths in this system's code page, which cannot spell the folder's name, and the folder has no short name it "
    "could spell.\r\nMove DriverData.Drv to a folder with a plain name and start the program from there.";
constexpr const char* installerRunning =
    "The driver installer is already running.\r\nFinish or close it before you start it again.";
// USB and serial port search.
constexpr const char* checkingUsbPorts = "Checking USB ports...";
constexpr const char* checking = "Checking ";
constexpr const char* checkingTail = "....";
constexpr const char* registryFailed = "Failed to read Registry";
constexpr const char* selectPortFailedCaption = "Fail to select port";
constexpr const char* currentPrinterPort = "The current printer port is ";
constexpr const char* availablePrinterPort = "The available printer port: ";
constexpr const char* portSettingsFailed = "Error\xA3\xBA" "Failed to set Registry";  // full-width colon
}  // namespace text

constexpr int portColumnWidth = 110;
// The port dialogs' list: the "Port" and "Description" columns.
constexpr int portDialogPortColumnWidth = 125;
constexpr int portDialogDescriptionColumnWidth = 300;
constexpr const char* updateMessageName = "MyUpdateData";
constexpr const char* archiverDllName = "7-zip32.dll";
constexpr const char* packageFileName = "DriverData.Drv";
constexpr const char* driverNameFile = "C:\\DriverName.cfg";

}  // namespace setup
