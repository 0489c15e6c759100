#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "context/dialog_context.h"
#include "platform/files.h"
#include "platform/system.h"

namespace setup {

// The log of a run that /log asks for: UTF-8 text appended to a file, one line per event,
// each led by the local date and time to the millisecond. Any thread may write to it. A
// line that cannot be written is counted and the run goes on.
class RunLog : public RunNotes {
public:
    RunLog(FileSystem& files, System& system, std::optional<std::string> path);

    bool enabled() const { return path_.has_value(); }
    // Opens the file for appending, creating it when it is not there, and writes nothing;
    // false when it cannot be opened. Without a path there is nothing to open: true.
    bool open();
    // Writes a line of UTF-8 text; line breaks inside it are written as \n.
    void line(const std::string& text);
    // The same for a text in the ANSI code page, as the program shows it.
    void ansiLine(const std::string& head, const std::string& ansiText);
    std::string fromAnsi(const std::string& ansiText) { return files_.unicodeSpelling(ansiText); }
    // RunNotes: a line of its own.
    void note(const std::string& ansiText) override { ansiLine("", ansiText); }
    // Lines that could not be written so far.
    int linesLost() const;

private:
    FileSystem& files_;
    System& system_;
    std::optional<std::string> path_;
    mutable std::mutex lock_;
    int linesLost_ = 0;
};

}  // namespace setup
