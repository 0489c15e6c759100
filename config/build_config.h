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
    "No printer is chosen.\r\n\r\nThe driver list is empty: the driver package DriverData.Drv was not found in the "
    "current folder, or 7-zip32.dll was not found beside the program.\r\nPlace DriverData.Drv in the current folder "
    "and 7-zip32.dll beside the program, and start the program again.";
// The same when preparation told the user why the package is not used: that reason.
constexpr const char* noPrinterBecause = "No printer is chosen.\r\n\r\n%s";
constexpr const char* noDriverForPrinter = "The printer \"%s\" has no driver in this package (driver index %d).";
// Shown when a service does not reach a state in time: service name, state, seconds.
constexpr const char* serviceTimedOut = "The service %s did not reach the state %s within %d seconds.";

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
// %s: the archiver's reason.
constexpr const char* packageDamaged =
    "The driver package DriverData.Drv is damaged and was not used; nothing of it was left on the disk.\r\nThe "
    "archiver said: %s\r\nAsk the supplier for a sound package.";
constexpr const char* archiverRaised = "it ended with an exception";
constexpr const char* packageFolderUnspellable =
    "The driver package DriverData.Drv cannot be unpacked from the current folder: the archiver 7-zip32.dll takes "
    "paths in this system's code page, which cannot spell the folder's name, and the folder has no short name it "
    "could spell.\r\nMove DriverData.Drv to a folder with a plain name and start the program from there.";
constexpr const char* installerRunning =
    "The driver installer is already running.\r\nFinish or close it before you start it again.";
}  // namespace text

constexpr int portColumnWidth = 110;
constexpr const char* updateMessageName = "MyUpdateData";
constexpr const char* archiverDllName = "7-zip32.dll";
constexpr const char* packageFileName = "DriverData.Drv";
constexpr const char* driverNameFile = "C:\\DriverName.cfg";

}  // namespace setup
