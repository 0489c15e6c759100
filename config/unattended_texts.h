#pragma once

// What the programs say about their command line, and the exit codes a deployment tool reads.

#include <string>

#include "config/program.h"

namespace setup {

// The process's exit code: how the run ended. The numbers follow the Windows error codes a
// deployment tool already knows from other installers.
namespace exit_code {
constexpr int installed = 0;               // on the port found, given, or the only one
constexpr int packageMissing = 2;          // ERROR_FILE_NOT_FOUND: no DriverData.Drv or 7-zip32.dll
constexpr int packageRefused = 13;         // ERROR_INVALID_DATA: the package is damaged or was refused
constexpr int invalidCommandLine = 87;     // ERROR_INVALID_PARAMETER: also an unknown printer or port
constexpr int printerNotFound = 1167;      // ERROR_DEVICE_NOT_CONNECTED: installed, the search found no printer
constexpr int cancelled = 1602;            // ERROR_INSTALL_USEREXIT: the user closed the program
constexpr int failed = 1603;               // ERROR_INSTALL_FAILURE
constexpr int alreadyRunning = 1618;       // ERROR_INSTALL_ALREADY_RUNNING
constexpr int logNotOpened = 1622;         // ERROR_INSTALL_LOG_FAILURE: /log cannot be opened for appending
}  // namespace exit_code

namespace text {

// The usage text; %s: the program's name.
constexpr const char* usageHead =
    "Usage: %s [/quiet] [/printer:NAME] [/port:serial|usb|parallel|tcpip] [/portname:PORT]\r\n"
    "       [/default] [/baud:N] [/log:PATH] [/force]";
constexpr const char* usageNameOption = " [/name:TEXT]";
// %s: the program's name.
constexpr const char* usageRemoval = "\r\n       %s /uninstall /printer:NAME [/quiet] [/log:PATH]";
constexpr const char* usageOptions =
    "\r\n\r\n"
    "/quiet     No window; every question is answered without a user. Needs /printer and /port.\r\n"
    "/printer   The printer as the driver list names it.\r\n"
    "/port      How the printer is attached.\r\n"
    "/portname  The port: needed for parallel and TCP/IP when there is more than one; for serial\r\n"
    "           and USB it is used without a search.\r\n"
    "/default   Make it the default printer.\r\n"
    "/baud      The baud rate of the serial search: 300, 1200, 2400, 4800, 9600, 19200 (when not\r\n"
    "           given), 38400, 57600 or 115200.\r\n"
    "/log       Append a log of the run to PATH.\r\n"
    "/force     With /quiet: install again also when the printer is there with this package's\r\n"
    "           driver (a quiet run otherwise leaves it, or only registers a changed driver).\r\n"
    "/uninstall Remove the printer NAME (the name it was created under), its driver when no other\r\n"
    "           printer uses it, and the port and language monitor this installer added for it.\r\n";
constexpr const char* usageNameText = "/name      The name the printer is created under.\r\n";
constexpr const char* usageExitCodes =
    "\r\n"
    "Options start with / or -; values follow a colon or an equals sign, in quotes when they hold\r\n"
    "blanks. Without /quiet the options preselect the window's choices.\r\n"
    "\r\n"
    "Exit codes: 0 installed; 1167 installed, but the USB or serial search found no printer (the\r\n"
    "log names its port); 2 no driver package; 13 the package is damaged or was refused;\r\n"
    "87 invalid command line, unknown printer or port; 1602 closed by the user;\r\n"
    "1603 the installation failed; 1618 another installer is running; 1622 the log cannot be\r\n"
    "opened (nothing was changed). /uninstall ends with 0 also when there was nothing to remove.";

// Why a command line is refused; %s: the option or value as given.
constexpr const char* optionUnknown = "Unknown option %s.";
constexpr const char* optionNotAnOption = "%s is not an option: options start with / or -.";
constexpr const char* optionTwice = "The option %s is given twice.";
constexpr const char* optionNeedsValue = "The option %s needs a value.";
constexpr const char* optionTakesNoValue = "The option %s takes no value.";
constexpr const char* optionBadPort = "Unknown port kind %s: use serial, usb, parallel or tcpip.";
constexpr const char* optionBadBaud = "Unknown baud rate %s.";
constexpr const char* optionUnbalancedQuote = "A quotation mark is not closed.";
constexpr const char* quietNeedsPrinter = "/quiet needs /printer.";
constexpr const char* quietNeedsPort = "/quiet needs /port.";
constexpr const char* uninstallNeedsPrinter = "/uninstall needs /printer: the printer's name as it was created.";
// %s: an option of an installation.
constexpr const char* uninstallRefuses = "/uninstall takes no %s: it removes the printer /printer names.";
// Refused once the system is asked; %s: the reason the spooler's rule gives, or the text.
constexpr const char* nameRefused = "The printer name /name gives cannot be used: %s.";
constexpr const char* nameUnspellable = "The name %s cannot be spelt in this system's code page.";
// %s: the log's path as given.
constexpr const char* logInPackagePlaces =
    "The log %s would lie in the driver package's places (C:\\DriverName.cfg, C:\\Ticket\\, C:\\Barcode\\), "
    "which every run makes and removes: give /log a place of its own.";
// /default and the account the program runs as: the default printer is each account's own.
constexpr const char* defaultForSystemAccount =
    "/default sets the default printer of the SYSTEM account only, which this program runs as: every user has a "
    "default printer of their own. To make the printer a user's default, run the program with /default as that "
    "user.";
constexpr const char* defaultManagedByWindows =
    "Windows manages the default printer of this account (LegacyDefaultPrinterMode is 0): Windows may change the "
    "default printer this run sets.";
constexpr const char* logNotOpened =
    "The log %s cannot be opened for appending: its folder must exist, and the file, if it is there, must be "
    "writable. Nothing was changed.";

}  // namespace text

// The program's version, as its version block gives it.
const char* programVersion(Program program);

// The usage text of a program, with the reason a command line was refused in front when
// there is one.
std::string usageText(Program program, const std::string& refusal = {});

}  // namespace setup
