#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "config/unattended_texts.h"
#include "context/dialog_context.h"
#include "ports/serial_prompt_dialog.h"

namespace setup {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

std::string said(const char* format, const std::string& what) {
    std::vector<char> text(std::char_traits<char>::length(format) + what.size() + 1);
    std::snprintf(text.data(), text.size(), format, what.c_str());
    return text.data();
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
            return said(text::optionNotAnOption, argument);
        const std::size_t separator = argument.find_first_of(":=");
        const std::string name = lowerCase(argument.substr(1, separator == std::string::npos ? separator : separator - 1));
        const std::optional<std::string> value =
            separator == std::string::npos ? std::nullopt : std::optional<std::string>(argument.substr(separator + 1));
        const std::string shown = argument.substr(0, separator);
        if (!known(name)) return said(text::optionUnknown, shown);
        if (!seen_.insert(name == "?" ? "help" : name).second) return said(text::optionTwice, shown);
        options_.none = false;
        if (isFlag(name)) {
            if (value) return said(text::optionTakesNoValue, shown);
            setFlag(name);
            return {};
        }
        if (!value || value->empty()) return said(text::optionNeedsValue, shown);
        return setValue(name, *value);
    }

private:
    static bool isFlag(const std::string& name) {
        return name == "quiet" || name == "default" || name == "?" || name == "help";
    }
    bool known(const std::string& name) const {
        static const std::set<std::string> valued{"printer", "port", "portname", "baud", "log"};
        return isFlag(name) || valued.count(name) || (name == "name" && program_ == Program::SoloSetup);
    }
    void setFlag(const std::string& name) {
        if (name == "quiet") options_.quiet = true;
        else if (name == "default") options_.setDefault = true;
        else options_.help = true;
    }
    std::string setValue(const std::string& name, const std::string& value) {
        if (name == "printer") options_.printer = value;
        else if (name == "portname") options_.portName = value;
        else if (name == "name") options_.name = value;
        else if (name == "log") options_.logPath = value;
        else if (name == "port") {
            options_.portKind = portKindNamed(value);
            if (!options_.portKind) return said(text::optionBadPort, value);
        } else {
            options_.baudRate = baudRateNamed(value);
            if (!options_.baudRate) return said(text::optionBadBaud, value);
        }
        return {};
    }

    CommandLineOptions& options_;
    Program program_;
    std::set<std::string> seen_;
};

}  // namespace

std::optional<std::vector<std::string>> splitCommandLine(const std::string& line) {
    std::vector<std::string> arguments;
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
    if (quoted) return std::nullopt;
    if (inArgument) arguments.push_back(current);
    return arguments;
}

ParsedCommandLine parseCommandLine(const std::string& line, Program program) {
    ParsedCommandLine parsed;
    std::optional<std::vector<std::string>> arguments = splitCommandLine(line);
    if (!arguments) {
        parsed.refusal = text::optionUnbalancedQuote;
        return parsed;
    }
    OptionReader reader(parsed.options, program);
    for (std::size_t i = 1; i < arguments->size() && parsed.refusal.empty(); ++i)
        parsed.refusal = reader.read((*arguments)[i]);
    if (!parsed.refusal.empty() || parsed.options.help || !parsed.options.quiet) return parsed;
    if (!parsed.options.printer) parsed.refusal = text::quietNeedsPrinter;
    else if (!parsed.options.portKind) parsed.refusal = text::quietNeedsPort;
    return parsed;
}

}  // namespace setup
