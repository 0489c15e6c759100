// Native front end: the DLL's command line, as one argument or as several.
//   sevenzip-cli 'x -y "/tmp/a b/DriverData.Drv" -o"/tmp/out"'
//   sevenzip-cli x -y "/tmp/a b/DriverData.Drv" -o/tmp/out
#include <cstdio>
#include <string>

#include "archiver/core/command.h"
#include "archiver/core/posix_host.h"

int main(int argc, char** argv) {
    std::string line;
    if (argc == 2) {
        line = argv[1];
    } else {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            if (!line.empty()) line += ' ';
            // The shell already removed the quotes: restore them around blanks.
            if (arg.find_first_of(" \t") != std::string::npos) {
                const size_t o = arg.rfind("-o", 0) == 0 ? 2 : 0;
                arg = arg.substr(0, o) + '"' + arg.substr(o) + '"';
            }
            line += arg;
        }
    }
    archiver::PosixHost host;
    std::string report;
    const int result = archiver::run_command(line, host, nullptr, report);
    std::fprintf(result == 0 ? stdout : stderr, "%s\n", report.c_str());
    return result;
}
