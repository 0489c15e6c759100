#include "archiver/core/command.h"

#include <new>

#include "archiver/core/archive_error.h"
#include "archiver/core/streams.h"

namespace archiver {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string lower_ascii(std::string s) {
    for (auto& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

[[noreturn]] void bad(const std::string& why) { fail(ErrorKind::BadCommand, why); }

int code_for(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::BadCommand: return kResultBadCommand;
    case ErrorKind::Io: return kResultIo;
    case ErrorKind::Corrupt: return kResultCorrupt;
    case ErrorKind::Unsupported: return kResultUnsupported;
    case ErrorKind::UnsafePath: return kResultUnsafePath;
    case ErrorKind::Cancelled: return kResultCancelled;
    case ErrorKind::Limit: return kResultLimit;
    }
    return kResultInternal;
}

}  // namespace

std::vector<std::string> split_command_line(const std::string& line) {
    std::vector<std::string> tokens;
    std::string current;
    bool in_token = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_token = true;
        } else if (is_blank(c) && !quoted) {
            if (in_token) tokens.push_back(current);
            current.clear();
            in_token = false;
        } else {
            current += c;
            in_token = true;
        }
    }
    if (quoted) bad("unbalanced quotes in the command line");
    if (in_token) tokens.push_back(current);
    return tokens;
}

Command parse_command(const std::string& line) {
    Command cmd;
    bool have_command = false, have_archive = false;
    for (const std::string& token : split_command_line(line)) {
        if (!token.empty() && token[0] == '-') {
            const std::string sw = lower_ascii(token);
            if (sw == "-y") {
                cmd.assume_yes = true;
            } else if (sw == "-hide") {
                cmd.hide = true;
            } else if (sw.size() > 2 && sw[1] == 'o') {
                cmd.output_folder = token.substr(2);
            } else {
                bad("unsupported switch " + token);
            }
        } else if (!have_command) {
            const std::string c = lower_ascii(token);
            if (c != "x" && c != "e") bad("unsupported command \"" + token + "\" (only x and e)");
            cmd.keep_paths = c == "x";
            have_command = true;
        } else if (!have_archive) {
            if (token.empty()) bad("empty archive name");
            cmd.archive = token;
            have_archive = true;
        } else {
            bad("unexpected argument \"" + token + "\" (file selections are not supported)");
        }
    }
    if (!have_command) bad("no command given (x or e)");
    if (!have_archive) bad("no archive given");
    return cmd;
}

namespace {

// Runs one front-end operation: its errors become a result code and a report line.
template <class Operation>
int reported(std::string& report, Operation operation) {
    try {
        operation();
        return kResultOk;
    } catch (const ArchiveError& e) {
        report = std::string("Error: ") + e.what();
        return code_for(e.kind());
    } catch (const std::bad_alloc&) {
        report = "Error: out of memory";
        return kResultOutOfMemory;
    } catch (const std::exception& e) {
        report = std::string("Error: ") + e.what();
        return kResultInternal;
    } catch (...) {
        report = "Error: internal failure";
        return kResultInternal;
    }
}

}  // namespace

int run_command(const std::string& line, Host& host, const ProgressCallback& progress, std::string& report) {
    return reported(report, [&] {
        const Command cmd = parse_command(line);
        auto source = host.open_archive(cmd.archive);
        auto sink = host.open_destination(cmd.output_folder);
        ExtractOptions options;
        options.keep_paths = cmd.keep_paths;
        options.overwrite = cmd.assume_yes;
        const ExtractSummary s = extract_archive(*source, *sink, options, progress);
        report = "Extracted " + std::to_string(s.files) + " files and " + std::to_string(s.folders) +
                 " folders (" + std::to_string(s.bytes) + " bytes) from " + cmd.archive;
    });
}

int list_entries(const std::string& archive, Host& host, const ListCallback& each, std::string& report) {
    return reported(report, [&] {
        auto source = host.open_archive(archive);
        const std::vector<ListedEntry> entries = list_archive(*source, ExtractOptions{});
        for (const ListedEntry& entry : entries)
            if (!each(entry)) fail(ErrorKind::Cancelled, "listing cancelled at \"" + entry.path + "\"");
        report = "Listed " + std::to_string(entries.size()) + " entries of " + archive;
    });
}

}  // namespace archiver
