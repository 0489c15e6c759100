#pragma once

// A till computer the programs' entry runs on, as a deployment tool starts them: the whole
// driver package beside the program, a command line, the log it writes.

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/program_entry.h"
#include "install/driver_engines.h"
#include "package/installer_lock.h"
#include "tests/core/fixture.h"
#include "tests/core/run_log_lines.h"
#include "tests/core/sim_program_host.h"

namespace setup::test {

using Bytes = std::vector<std::uint8_t>;
constexpr const char* logPath = "C:\\Deploy\\setup.log";
constexpr const char* windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* portsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// A till computer with the whole driver package beside the program, started with a command
// line; the real engines install.
struct Deployment {
    explicit Deployment(Program program = Program::MultiSetup) : machine(root.path), program(program) {
        machine.title = buildConfig(program).programName;
        machine.ports = {{"LPT1:", "Local Port", "Local Port", 0}};
        machine.writeFile("C:\\Deploy\\readme.txt", "");
        provideFullPackage(machine, program);
        machine.writeFile(archiverPath, "MZ");
    }
    static constexpr const char* archiverPath = "C:\\Program\\7-zip32.dll";
    void parallelPorts() { machine.ports.push_back({"LPT2:", "Local Port", "Local Port", 0}); }
    void usbPorts() {
        for (const char* port : {"USB001", "USB002"})
            machine.ports.push_back({port, "USB Monitor", "Virtual printer port for USB", 0});
    }
    void serialPorts(const std::vector<std::string>& coms) {
        for (std::size_t i = 0; i < coms.size(); ++i) {
            machine.addSerialPort("\\Device\\Serial" + std::to_string(i), coms[i]);
            machine.serial.attach(coms[i], {});
            machine.setRegistryValue(RegistryRoot::LocalMachine, portsKey, coms[i] + ":", regSz,
                                     std::string("9600,n,8,1") + '\0');
        }
    }

    // Runs the program with these arguments through the programs' entry until its dialog
    // ends; the user, if any, acts once preparation has finished. Returns the exit code.
    int run(const std::string& arguments, const std::function<void()>& user = {},
            const std::function<void()>& beforeEnd = {}) {
        host.user = user;
        host.afterClose = beforeEnd;
        return runProgram(program, machine.title + ".exe " + arguments, machine.platform(), host, engines);
    }

    // A later run on the same machine, in a window and with a starter of its own (a window
    // runs one dialog); the user, if any, acts in that window.
    int runAgain(const std::string& arguments, const std::function<void(sim::SimMainWindow&)>& user = {}) {
        sim::SimMainWindow& later = laterWindows.emplace_back();
        SimProgramHost& laterHost = laterHosts.emplace_back(later);
        if (user) laterHost.user = [&later, user] { user(later); };
        return runProgram(program, machine.title + ".exe " + arguments, machine.platform(), laterHost, engines);
    }

    // The log's lines without their time stamps, which must all be there.
    std::vector<std::string> log() const { return runLogLines(machine, logPath); }
    bool logged(const std::string& text) const {
        std::vector<std::string> lines = log();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    const PrinterRecord* printer(const std::string& name) const {
        for (const PrinterRecord& p : machine.printers)
            if (p.printerName == name) return &p;
        return nullptr;
    }
    std::optional<std::string> defaultPrinter() {
        return machine.registryValue(RegistryRoot::CurrentUser, windowsKey, "Device");
    }
    bool packageLeft() const { return machine.exists("C:\\DriverName.cfg") || machine.exists("C:\\Ticket"); }
    // Whether the package was ever unpacked: its folders were made.
    bool packageTouched() const { return !machine.logMatching("CreateDirectoryW").empty(); }
    bool loggedStarting(const std::string& head) const {
        std::vector<std::string> lines = log();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(head, 0) == 0; });
    }
    bool loggedContaining(const std::string& part) const {
        std::vector<std::string> lines = log();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }

    // Where the simulated system's call log stands now.
    std::size_t callsSoFar() const { return machine.log().size(); }
    // The calls of the system from that position on whose text starts with the prefix.
    std::vector<std::string> callsSince(std::size_t from, const std::string& prefix) const {
        std::vector<std::string> calls = machine.log(), matching;
        for (std::size_t at = from; at < calls.size(); ++at)
            if (calls[at].rfind(prefix, 0) == 0) matching.push_back(calls[at]);
        return matching;
    }

    TempRoot root;
    sim::SimWindows machine;
    Program program;
    sim::SimMainWindow window;
    SimProgramHost host{window};
    DriverEngines engines;
    std::deque<sim::SimMainWindow> laterWindows;
    std::deque<SimProgramHost> laterHosts;
};

inline const std::string quietLog = std::string(" /log:") + logPath;

}  // namespace setup::test
