#pragma once

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sim/sim_windows.h"

namespace setup::test {

// The lines of a run's log on the machine, without their time stamps, which must all be there.
inline std::vector<std::string> runLogLines(const sim::SimWindows& machine, const std::string& windowsPath) {
    std::ifstream file(machine.hostPath(windowsPath), std::ios::binary);
    std::vector<std::string> lines;
    static const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)\r$)");
    for (std::string line; std::getline(file, line);) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
        lines.push_back(match[1]);
    }
    return lines;
}

}  // namespace setup::test
