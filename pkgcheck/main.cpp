// pkgcheck [--json] [--program multisetup|solosetup] DriverData.Drv
//
// Checks a driver package as the chosen program's installer would read it and prints every
// finding; exits 0 when nothing is an error, 1 when something is, 2 when the package cannot
// be read at all.

#include <optional>

#include "archiver/core/archive_error.h"
#include "config/pkgcheck_text.h"
#include "pkgcheck/host.h"
#include "pkgcheck/package_check.h"

namespace {

using namespace setup;
using namespace setup::pkgcheck;

constexpr int usageExitCode = 2;

struct Options {
    bool json = false;
    Program program = Program::MultiSetup;
    std::string package;
};

std::optional<Program> programNamed(const std::string& name) {
    for (Program program : {Program::MultiSetup, Program::SoloSetup})
        if (name == programName(program)) return program;
    return std::nullopt;
}

// Nothing, with the reason written, when the command line is not understood.
std::optional<Options> parse(const std::vector<std::string>& arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--json") {
            options.json = true;
        } else if (argument == "--program" && i + 1 < arguments.size()) {
            std::optional<Program> program = programNamed(arguments[++i]);
            if (!program) {
                writeOut(fill(pkgcheck_text::unknownProgram, {arguments[i]}));
                return std::nullopt;
            }
            options.program = *program;
        } else if (argument.rfind("--", 0) == 0 || !options.package.empty()) {
            writeOut(pkgcheck_text::usage);
            return std::nullopt;
        } else {
            options.package = argument;
        }
    }
    if (options.package.empty()) {
        writeOut(pkgcheck_text::usage);
        return std::nullopt;
    }
    return options;
}

Report check(const Options& options) {
    std::unique_ptr<archiver::ArchiveSource> source;
    try {
        source = openPackage(options.package);
    } catch (const archiver::ArchiveError& error) {
        Report report;
        report.package = options.package;
        report.program = options.program;
        report.unreadable = true;
        report.add(Severity::Error, pkgcheck_text::checkArchive, options.package,
                   fill(pkgcheck_text::unreadable, {error.what()}), pkgcheck_text::installerUsesNothing);
        return report;
    }
    return checkPackage(*source, options.package, options.program, readDriverNameListBytes);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Options> options = parse(commandArguments(argc, argv));
    if (!options) return usageExitCode;
    Report report = check(*options);
    writeOut(options->json ? jsonReport(report) : textReport(report));
    return report.exitCode();
}
