#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/program.h"

namespace setup {

// The choices a command line makes. Names and values are UTF-8.
struct CommandLineOptions {
    bool quiet = false;
    bool help = false;
    bool setDefault = false;
    std::optional<std::string> printer;
    std::optional<int> portKind;  // the row of the port-type list
    std::optional<std::string> portName;
    std::optional<std::string> name;
    std::optional<int> baudRate;  // one of the serial prompt's rates
    std::optional<std::string> logPath;
    // True when the command line held no option at all: the program runs as it always did.
    bool none = true;
};

struct ParsedCommandLine {
    CommandLineOptions options;
    std::string refusal;  // why the command line cannot be used; empty when it can
};

// Splits a command line as Windows programs do (CommandLineToArgvW's rules): blanks separate,
// quotation marks group, backslashes escape a quotation mark. The program's own name comes
// first. Nothing when a quotation mark is left open.
std::optional<std::vector<std::string>> splitCommandLine(const std::string& line);

// Reads the whole command line, the program's name first.
ParsedCommandLine parseCommandLine(const std::string& line, Program program);

}  // namespace setup
