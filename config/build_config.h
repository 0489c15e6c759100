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
