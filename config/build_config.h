#pragma once

#include <array>
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

// Texts the same in both programs.
namespace text {
constexpr const char* readingDriverFile = "Reading driver file...";
constexpr const char* serviceStatusUnknown = "Service status is unknown";
constexpr const char* finishCaption = "&Finish";
constexpr const char* portColumn = "Port";
constexpr const char* descriptionColumn = "Description";
constexpr const char* noPrinterChosen =
    "No printer is chosen.\r\n\r\nThe driver list is empty: the driver package DriverData.Drv was not found beside "
    "the program or could not be unpacked.\r\nPlace DriverData.Drv and 7-zip32.dll in the current folder and "
    "start the program again.";
constexpr const char* noDriverForPrinter = "The printer \"%s\" has no driver in this package (driver index %d).";
// Shown when a service does not reach a state in time: service name, state, seconds.
constexpr const char* serviceTimedOut = "The service %s did not reach the state %s within %d seconds.";
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
constexpr const char* updateMessageName = "MyUpdateData";
constexpr const char* archiverDllName = "7-zip32.dll";
constexpr const char* packageFileName = "DriverData.Drv";
constexpr const char* driverNameFile = "C:\\DriverName.cfg";

}  // namespace setup
