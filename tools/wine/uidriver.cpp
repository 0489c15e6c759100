// uidriver: drives the installer's main dialog from another process, for the Wine suite.
//
//   uidriver.exe --dialog "<caption>" <command>...
//
// Commands run in order; each prints one or more lines "<what> <id> = <value>". A wait that
// times out prints "FAIL: ..." and ends the run with exit code 1.
//   wait-dialog <ms>              until a visible #32770 window with the caption exists
//   wait-enabled <id> <ms>        until the control is enabled
//   wait-gone <ms>                until the dialog window no longer exists
//   text <id>                     the control's text (WM_GETTEXT)
//   enabled <id>                  1 or 0 (IsWindowEnabled)
//   checked <id>                  the check state (BM_GETCHECK)
//   combo <id>                    count, selection and every item (CB_GETCOUNT, CB_GETLBTEXT)
//   listview <id>                 rows, columns and the selected rows
//   click <id>                    posts BN_CLICKED of the control to the dialog
//   close                         posts WM_CLOSE to the dialog
//   answer <caption> <id> <ms>    waits for a message box with that caption, prints its text
//                                 and presses its button <id>
//   wait-box <caption> <ms>       waits for a message box with that caption and prints its
//                                 text, leaving it open
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), converted.data(), size, nullptr,
                        nullptr);
    return converted;
}

std::wstring wide(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), converted.data(), size);
    return converted;
}

// Control texts have line breaks; the output keeps one line per value.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

[[noreturn]] void fail(const std::string& why) {
    say("FAIL: " + why);
    std::exit(1);
}

// Polls until the condition holds or the time is up.
bool waitFor(DWORD milliseconds, const std::function<bool()>& condition) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(50);
    }
    return true;
}

HWND findDialog(const std::string& caption) {
    HWND window = FindWindowW(L"#32770", wide(caption).c_str());
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

std::string windowText(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
    text.resize(copied);
    return utf8(text);
}

class Driver {
public:
    Driver(int argc, char** argv) : argc_(argc), argv_(argv) {}

    int run() {
        while (next_ < argc_) command(take());
        return 0;
    }

private:
    std::string take() {
        if (next_ >= argc_) fail("missing argument");
        return argv_[next_++];
    }
    int takeNumber() { return std::atoi(take().c_str()); }

    HWND dialog() {
        HWND window = findDialog(caption_);
        if (window == nullptr) fail("no dialog \"" + caption_ + "\"");
        return window;
    }
    HWND control(int id) {
        HWND window = GetDlgItem(dialog(), id);
        if (window == nullptr) fail("no control " + std::to_string(id));
        return window;
    }
    void report(const char* what, int id, const std::string& value) {
        say(std::string(what) + " " + std::to_string(id) + " = " + value);
    }

    void command(const std::string& name) {
        if (name == "--dialog") caption_ = take();
        else if (name == "wait-dialog") waitDialog(takeNumber());
        else if (name == "wait-enabled") {
            int id = takeNumber();
            waitEnabled(id, takeNumber());
        }
        else if (name == "wait-gone") waitGone(takeNumber());
        else if (name == "text") { int id = takeNumber(); report("text", id, escaped(windowText(control(id)))); }
        else if (name == "enabled") { int id = takeNumber(); report("enabled", id, IsWindowEnabled(control(id)) ? "1" : "0"); }
        else if (name == "checked") { int id = takeNumber(); report("checked", id, std::to_string(SendMessageW(control(id), BM_GETCHECK, 0, 0))); }
        else if (name == "combo") combo(takeNumber());
        else if (name == "listview") listView(takeNumber());
        else if (name == "click") click(takeNumber());
        else if (name == "close") PostMessageW(dialog(), WM_CLOSE, 0, 0), say("close posted");
        else if (name == "answer") answer();
        else if (name == "wait-box") waitBox(take(), takeNumber());
        else fail("unknown command " + name);
    }

    void waitDialog(int milliseconds) {
        if (!waitFor(milliseconds, [&] { return findDialog(caption_) != nullptr; }))
            fail("dialog \"" + caption_ + "\" did not appear");
        say("dialog found");
    }
    void waitEnabled(int id, int milliseconds) {
        if (!waitFor(milliseconds, [&] { return IsWindowEnabled(control(id)) != FALSE; }))
            fail("control " + std::to_string(id) + " was not enabled");
        report("enabled", id, "1");
    }
    void waitGone(int milliseconds) {
        if (!waitFor(milliseconds, [&] { return findDialog(caption_) == nullptr; }))
            fail("dialog \"" + caption_ + "\" is still there");
        say("dialog gone");
    }
    void combo(int id) {
        HWND box = control(id);
        auto count = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
        report("combo-count", id, std::to_string(count));
        report("combo-selection", id, std::to_string(SendMessageW(box, CB_GETCURSEL, 0, 0)));
        for (int i = 0; i < count; ++i) {
            auto length = SendMessageW(box, CB_GETLBTEXTLEN, i, 0);
            std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
            auto copied = SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
            item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
            report("combo-item", id, escaped(utf8(item)));
        }
    }
    void listView(int id) {
        HWND list = control(id);
        auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        auto columns = header != nullptr ? SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : -1;
        std::string selected;
        for (int row = 0; row < rows; ++row) {
            if ((SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
            if (!selected.empty()) selected += ',';
            selected += std::to_string(row);
        }
        report("listview-rows", id, std::to_string(rows));
        report("listview-columns", id, std::to_string(columns));
        report("listview-selected", id, selected);
    }
    void click(int id) {
        // Posted, not sent: the click may open a modal box that waits for us.
        PostMessageW(dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
        report("clicked", id, "1");
    }
    HWND waitBox(const std::string& caption, int milliseconds) {
        HWND box = nullptr;
        if (!waitFor(milliseconds, [&] { return (box = findDialog(caption)) != nullptr; }))
            fail("no message box \"" + caption + "\"");
        say("message-box-text = " + escaped(windowText(GetDlgItem(box, 0xFFFF))));
        return box;
    }
    void answer() {
        std::string caption = take();
        int button = takeNumber();
        HWND box = waitBox(caption, takeNumber());
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        say("answered " + std::to_string(button));
    }

    int argc_;
    char** argv_;
    int next_ = 1;
    std::string caption_;
};

}  // namespace

int main(int argc, char** argv) {
    return Driver(argc, argv).run();
}
