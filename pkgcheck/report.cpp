#include "pkgcheck/report.h"

#include <cstdio>

#include "config/pkgcheck_text.h"

namespace setup::pkgcheck {

namespace text = pkgcheck_text;

namespace {

const char* severityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return text::severityError;
        case Severity::Warning: return text::severityWarning;
        case Severity::Note: return text::severityNote;
    }
    return text::severityNote;
}

const char* verdict(const Report& report) {
    if (report.unreadable) return text::verdictUnreadable;
    return report.count(Severity::Error) ? text::verdictErrors : text::verdictUsable;
}

// A JSON string: UTF-8 passes through, quotes, backslashes and control bytes are escaped.
std::string quoted(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string number(std::uint64_t value) { return std::to_string(value); }

}  // namespace

void Report::add(Severity severity, const char* check, std::string subject, std::string problem,
                 std::string installer) {
    findings.push_back({severity, check, std::move(subject), std::move(problem), std::move(installer)});
}

std::size_t Report::count(Severity severity) const {
    std::size_t n = 0;
    for (const Finding& finding : findings) n += finding.severity == severity;
    return n;
}

int Report::exitCode() const {
    if (unreadable) return 2;
    return count(Severity::Error) ? 1 : 0;
}

std::string fill(const char* pattern, std::initializer_list<std::string> values) {
    std::string out;
    auto next = values.begin();
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '{' && p[1] == '}' && next != values.end()) {
            out += *next++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

const char* programName(Program program) {
    return program == Program::SoloSetup ? "solosetup" : "multisetup";
}

std::string textReport(const Report& report) {
    std::string out = fill(text::head, {report.package, programName(report.program)});
    for (const Finding& f : report.findings)
        out += fill(text::findingLine, {severityName(f.severity), f.check, f.subject, f.problem, f.installer});
    if (!report.unreadable) {
        const Shape& s = report.shape;
        out += fill(text::shapeLine, {number(s.files), number(s.folders), number(s.unpackedBytes), s.largestFile,
                                      number(s.largestBytes)});
    }
    out += fill(text::countLine, {number(report.count(Severity::Error)), number(report.count(Severity::Warning)),
                                  number(report.count(Severity::Note)), verdict(report)});
    return out;
}

std::string jsonReport(const Report& report) {
    std::string out = "{\n  \"package\": " + quoted(report.package) + ",\n  \"program\": " +
                      quoted(programName(report.program)) + ",\n  \"findings\": [";
    const char* separator = "\n";
    for (const Finding& f : report.findings) {
        out += separator;
        out += "    {\"severity\": " + quoted(severityName(f.severity)) + ", \"check\": " + quoted(f.check) +
               ", \"subject\": " + quoted(f.subject) + ", \"problem\": " + quoted(f.problem) +
               ", \"installer\": " + quoted(f.installer) + "}";
        separator = ",\n";
    }
    out += report.findings.empty() ? "],\n" : "\n  ],\n";
    const Shape& s = report.shape;
    out += "  \"shape\": {\"files\": " + number(s.files) + ", \"folders\": " + number(s.folders) +
           ", \"unpacked_bytes\": " + number(s.unpackedBytes) + ", \"largest_file\": " + quoted(s.largestFile) +
           ", \"largest_bytes\": " + number(s.largestBytes) + "},\n";
    out += "  \"errors\": " + number(report.count(Severity::Error)) + ", \"warnings\": " +
           number(report.count(Severity::Warning)) + ", \"notes\": " + number(report.count(Severity::Note)) +
           ",\n  \"exit_code\": " + std::to_string(report.exitCode()) + "\n}\n";
    return out;
}

}  // namespace setup::pkgcheck
