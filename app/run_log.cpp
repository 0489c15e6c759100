#include "app/run_log.h"

#include <cstdio>

namespace setup {

namespace {

std::string timestamp(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return text;
}

// One event, one line: the program's texts break lines with \r\n.
std::string oneLine(const std::string& text) {
    std::string flat;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || text[i] == '\n')
            flat += "\\n";
        else
            flat += text[i];
    }
    return flat;
}

}  // namespace

RunLog::RunLog(FileSystem& files, System& system, std::optional<std::string> path)
    : files_(files), system_(system), path_(std::move(path)) {}

bool RunLog::open() {
    return !path_ || files_.appendFileW(*path_, "");
}

void RunLog::line(const std::string& text) {
    if (!path_) return;
    std::lock_guard<std::mutex> lock(lock_);
    if (!files_.appendFileW(*path_, timestamp(system_.localTime()) + " " + oneLine(text) + "\r\n")) ++linesLost_;
}

void RunLog::ansiLine(const std::string& head, const std::string& ansiText) {
    if (enabled()) line(head + fromAnsi(ansiText));
}

int RunLog::linesLost() const {
    std::lock_guard<std::mutex> lock(lock_);
    return linesLost_;
}

}  // namespace setup
