// The command line both front ends accept:  x|e [-y] [-o<folder>] [-hide] "<archive>"
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "archiver/core/extractor.h"
#include "archiver/core/output_sink.h"

namespace archiver {

// Results, also the DLL's return values.
enum ResultCode : int {
    kResultOk = 0,
    kResultBadCommand = 1,
    kResultIo = 2,
    kResultCorrupt = 3,
    kResultUnsupported = 4,
    kResultUnsafePath = 5,
    kResultCancelled = 6,
    kResultLimit = 7,
    kResultOutOfMemory = 8,
    kResultInternal = 9,
};

struct Command {
    bool keep_paths = true;  // x; e extracts without folders
    bool assume_yes = false;
    bool hide = false;       // accepted: we never show a window
    std::string archive;
    std::string output_folder;  // as given, quotes removed; empty: the current folder
};

// Splits on blanks outside double quotes; quotes group and are dropped. Backslashes are
// ordinary characters, so -o"C:\" is the folder C:\ .
std::vector<std::string> split_command_line(const std::string& line);

// Raises ArchiveError(BadCommand) saying what is wrong.
Command parse_command(const std::string& line);

// Parses, opens, extracts. Never throws: the result code and a short report say what
// happened.
int run_command(const std::string& line, Host& host, const ProgressCallback& progress, std::string& report);

// Called once per entry of a listing; returning false stops it.
using ListCallback = std::function<bool(const ListedEntry&)>;

// Lists what "x" would write from the archive (list_archive), entry by entry. Never throws:
// the result code and report are those the same faults give run_command.
int list_entries(const std::string& archive, Host& host, const ListCallback& each, std::string& report);

}  // namespace archiver
