#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "config/build_config.h"
#include "config/unattended_texts.h"
#include "context/dialog_context.h"
#include "install/printer_name_rule.h"
#include "package/unpack_manifest.h"
#include "platform/path_parts.h"
#include "ports/serial_prompt_dialog.h"

namespace setup {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

bool isQuietFlag(const std::string& word) {
    const std::string name = lowerCase(word);
    return name == "/quiet" || name == "-quiet";
}

std::optional<int> portKindNamed(const std::string& value) {
    const std::string kind = lowerCase(value);
    if (kind == "serial") return portKindSerial;
    if (kind == "usb") return portKindUsb;
    if (kind == "parallel") return portKindParallel;
    if (kind == "tcpip") return portKindTcpIp;
    return std::nullopt;
}

std::optional<int> baudRateNamed(const std::string& value) {
    if (value.empty() || value.size() > 6 || !std::all_of(value.begin(), value.end(), ::isdigit)) return std::nullopt;
    const int rate = std::stoi(value);
    if (!baudEntryOf(rate)) return std::nullopt;
    return rate;
}

// Reads one option into the options; the refusal when it cannot be used.
class OptionReader {
public:
    OptionReader(CommandLineOptions& options, Program program) : options_(options), program_(program) {}

    std::string read(const std::string& argument) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-'))
            return fillText(text::optionNotAnOption, {argument});
        const std::size_t separator = argument.find_first_of(":=");
        const std::string name = lowerCase(argument.substr(1, separator == std::string::npos ? separator : separator - 1));
        const std::optional<std::string> value =
            separator == std::string::npos ? std::nullopt : std::optional<std::string>(argument.substr(separator + 1));
        const std::string shown = argument.substr(0, separator);
        if (!known(name)) return fillText(text::optionUnknown, {shown});
        if (!seen_.insert(name == "?" ? "help" : name).second) return fillText(text::optionTwice, {shown});
        if (isFlag(name)) {
            if (value) return fillText(text::optionTakesNoValue, {shown});
            setFlag(name);
            return {};
        }
        if (!value || value->empty()) return fillText(text::optionNeedsValue, {shown});
        return setValue(name, *value);
    }

private:
    static bool isFlag(const std::string& name) {
        return name == "quiet" || name == "default" || name == "force" || name == "uninstall" || name == "?" ||
               name == "help";
    }
    bool known(const std::string& name) const {
        static const std::set<std::string> valued{"printer", "port", "portname", "baud", "log"};
        return isFlag(name) || valued.count(name) || (name == "name" && program_ == Program::SoloSetup);
    }
    void setFlag(const std::string& name) {
        if (name == "quiet") options_.quiet = true;
        else if (name == "default") options_.setDefault = true;
        else if (name == "force") options_.force = true;
        else if (name == "uninstall") options_.uninstall = true;
        else options_.help = true;
    }
    std::string setValue(const std::string& name, const std::string& value) {
        if (name == "printer") options_.printer = value;
        else if (name == "portname") options_.portName = value;
        else if (name == "name") options_.name = value;
        else if (name == "log") options_.logPath = value;
        else if (name == "port") {
            options_.portKind = portKindNamed(value);
            if (!options_.portKind) return fillText(text::optionBadPort, {value});
        } else {
            options_.baudRate = baudRateNamed(value);
            if (!options_.baudRate) return fillText(text::optionBadBaud, {value});
        }
        return {};
    }

    CommandLineOptions& options_;
    Program program_;
    std::set<std::string> seen_;
};

// A removal names the printer and nothing about an installation.
std::string removalRefusal(const CommandLineOptions& options) {
    if (!options.printer) return text::uninstallNeedsPrinter;
    const std::pair<bool, const char*> installOptions[] = {
        {options.portKind.has_value(), "/port"}, {options.portName.has_value(), "/portname"},
        {options.setDefault, "/default"},        {options.baudRate.has_value(), "/baud"},
        {options.name.has_value(), "/name"},
    };
    for (const auto& [given, option] : installOptions)
        if (given) return fillText(text::uninstallRefuses, {option});
    return {};
}

}  // namespace

SplitCommandLine splitArguments(const std::string& line) {
    SplitCommandLine split;
    std::vector<std::string>& arguments = split.arguments;
    std::string current;
    bool inArgument = false, quoted = false;
    std::size_t backslashes = 0;
    for (char c : line) {
        if (c == '\\') {
            ++backslashes;
            inArgument = true;
            continue;
        }
        if (c == '"') {
            current.append(backslashes / 2, '\\');
            if (backslashes % 2) current += '"';
            else quoted = !quoted;
            backslashes = 0;
            inArgument = true;
            continue;
        }
        current.append(backslashes, '\\');
        backslashes = 0;
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
            continue;
        }
        current += c;
        inArgument = true;
    }
    current.append(backslashes, '\\');
    if (inArgument) arguments.push_back(current);
    split.quoteLeftOpen = quoted;
    return split;
}

std::optional<std::vector<std::string>> splitCommandLine(const std::string& line) {
    SplitCommandLine split = splitArguments(line);
    if (split.quoteLeftOpen) return std::nullopt;
    return split.arguments;
}

ParsedCommandLine parseCommandLine(const std::string& line, Program program) {
    ParsedCommandLine parsed;
    const SplitCommandLine split = splitArguments(line);
    if (split.quoteLeftOpen) parsed.refusal = text::optionUnbalancedQuote;
    OptionReader reader(parsed.options, program);
    for (std::size_t i = 1; i < split.arguments.size(); ++i) {
        std::string why = reader.read(split.arguments[i]);
        if (parsed.refusal.empty()) parsed.refusal = std::move(why);
    }
    // A quotation mark left open swallows the rest of the line; a /quiet in it still means
    // that nobody is there to answer.
    if (split.quoteLeftOpen && !split.arguments.empty()) {
        const std::vector<std::string> words = splitArguments(split.arguments.back()).arguments;
        if (std::any_of(words.begin(), words.end(), isQuietFlag)) parsed.options.quiet = true;
    }
    parsed.options.none = split.arguments.size() <= 1 && !split.quoteLeftOpen;
    if (!parsed.refusal.empty() || parsed.options.help) return parsed;
    if (parsed.options.uninstall) {
        parsed.refusal = removalRefusal(parsed.options);
        return parsed;
    }
    if (!parsed.options.quiet) return parsed;
    if (!parsed.options.printer) parsed.refusal = text::quietNeedsPrinter;
    else if (!parsed.options.portKind) parsed.refusal = text::quietNeedsPort;
    return parsed;
}

namespace {

std::optional<char> driveOf(const std::string& path) {
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0]))) return std::nullopt;
    return static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The name as the file system keeps it: a stream after ':' names the same file, and
// trailing dots and blanks are dropped.
std::string storedName(std::string name) {
    name = name.substr(0, name.find(':'));
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// The names below the root of drive C that the path leads to, resolved against the
// current folder; nothing when it leads to another drive or a share.
std::optional<std::vector<std::string>> namesBelowDriveC(std::string path, const std::string& currentFolder) {
    // \\?\C:\... and \\.\C:\... name the same files as C:\...
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
        isSeparator(path[3]))
        path = path.substr(4);
    const std::optional<char> currentDrive = driveOf(currentFolder);
    const std::string currentBelowRoot = currentDrive ? currentFolder.substr(2) : std::string();
    std::optional<char> drive = driveOf(path);
    std::string rest;
    if (drive) {
        rest = path.substr(2);
        // "C:name" is relative to the current folder when that is on the same drive.
        if (rest.empty() || !isSeparator(rest[0])) rest = (drive == currentDrive ? currentBelowRoot : "") + "\\" + rest;
    } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        return std::nullopt;
    } else {
        drive = currentDrive;
        rest = !path.empty() && isSeparator(path[0]) ? path : currentBelowRoot + "\\" + path;
    }
    if (drive != 'c') return std::nullopt;
    std::vector<std::string> names;
    for (const std::string& part : pathParts(rest)) {
        const std::string name = part == "." || part == ".." ? part : storedName(part);
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    return names;
}

}  // namespace

bool inPackagePlaces(const std::string& path, const std::string& currentFolder) {
    std::optional<std::vector<std::string>> names = namesBelowDriveC(path, currentFolder);
    if (!names || names->empty()) return false;
    std::string belowRoot;
    for (const std::string& name : *names) belowRoot += (belowRoot.empty() ? "" : "\\") + name;
    // A file where one of the package's folders goes is in the way as much as one inside it.
    return keepsToPlaces(ArchiveEntry{belowRoot, false}) || keepsToPlaces(ArchiveEntry{belowRoot, true});
}

void checkOnThisSystem(ParsedCommandLine& parsed, FileSystem& files) {
    CommandLineOptions& options = parsed.options;
    std::string why;
    if (options.logPath && inPackagePlaces(*options.logPath, files.currentDirectoryW())) {
        why = fillText(text::logInPackagePlaces, {*options.logPath});
        options.logPath.reset();
    }
    if (options.uninstall && options.printer && why.empty() && !files.ansiSpelling(*options.printer))
        why = fillText(text::nameUnspellable, {*options.printer});
    if (options.name && why.empty()) {
        std::optional<std::string> ansi = files.ansiSpelling(*options.name);
        if (!ansi) why = fillText(text::nameUnspellable, {*options.name});
        else if (const char* problem = printerNameProblem(*ansi)) why = fillText(text::nameRefused, {problem});
    }
    if (parsed.refusal.empty()) parsed.refusal = why;
}

}  // namespace setup
