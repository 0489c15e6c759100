#pragma once

// What a check of a driver package found, and the two ways it is printed: one line per
// finding for a person, JSON for a build pipeline.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "config/program.h"

namespace setup::pkgcheck {

enum class Severity { Error, Warning, Note };

struct Finding {
    Severity severity;
    const char* check;     // which check found it
    std::string subject;   // the entry or section it is about
    std::string problem;   // what is wrong
    std::string installer; // what the installer would do about it
};

// The package's size and shape as unpacking it would make it.
struct Shape {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t unpackedBytes = 0;
    std::uint64_t largestBytes = 0;
    std::string largestFile;
};

struct Report {
    std::string package;
    Program program = Program::MultiSetup;
    bool unreadable = false;  // the archive could not be opened at all
    Shape shape;
    std::vector<Finding> findings;

    void add(Severity severity, const char* check, std::string subject, std::string problem, std::string installer);
    std::size_t count(Severity severity) const;
    // 0 when nothing is an error, 1 when something is, 2 when the package cannot be read.
    int exitCode() const;
};

// A text with each "{}" replaced by the next value.
std::string fill(const char* pattern, std::initializer_list<std::string> values);

const char* programName(Program program);
std::string textReport(const Report& report);
std::string jsonReport(const Report& report);

}  // namespace setup::pkgcheck
