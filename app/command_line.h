#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/program.h"
#include "platform/files.h"

namespace setup {

// The choices a command line makes. Names and values are UTF-8.
struct CommandLineOptions {
    bool quiet = false;
    bool help = false;
    bool setDefault = false;
    // Install again also when the printer is there as asked.
    bool force = false;
    // Remove the printer /printer names, with what this installer added for it.
    bool uninstall = false;
    std::optional<std::string> printer;
    std::optional<int> portKind;  // the row of the port-type list
    std::optional<std::string> portName;
    std::optional<std::string> name;
    std::optional<int> baudRate;  // one of the serial prompt's rates
    std::optional<std::string> logPath;
    // True when the command line held nothing after the program's name: the program runs as
    // it always did.
    bool none = true;
};

struct ParsedCommandLine {
    CommandLineOptions options;
    std::string refusal;  // why the command line cannot be used; empty when it can
};

// A command line split into its arguments, the program's own name first.
struct SplitCommandLine {
    std::vector<std::string> arguments;
    // A quotation mark was left open: the last argument runs to the end of the line.
    bool quoteLeftOpen = false;
};

// Splits a command line as Windows programs do (CommandLineToArgvW's rules): blanks separate,
// quotation marks group, backslashes escape a quotation mark.
SplitCommandLine splitArguments(const std::string& line);
// The same; nothing when a quotation mark is left open.
std::optional<std::vector<std::string>> splitCommandLine(const std::string& line);

// Reads the whole command line, the program's name first. Every option is read, also after
// one that is refused, so that /quiet and /log count wherever they stand; the refusal is
// the first reason met.
ParsedCommandLine parseCommandLine(const std::string& line, Program program);

// Refuses what only this system can tell is unusable, before anything is changed: a /name
// the spooler cannot take or the code page cannot spell, and a /log inside the places the
// driver package is unpacked to and removed from (that log is dropped, never written).
void checkOnThisSystem(ParsedCommandLine& parsed, FileSystem& files);

// Whether a path, resolved as Windows resolves it against the current folder, lies in the
// driver package's places: C:\DriverName.cfg, C:\Ticket and C:\Barcode with what is below them.
bool inPackagePlaces(const std::string& path, const std::string& currentFolder);

}  // namespace setup
