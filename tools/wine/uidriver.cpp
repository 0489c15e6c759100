// uidriver: drives the installer's main dialog from another process, for the Wine suite.
//
//   uidriver.exe --dialog "<caption>" <command>...
//
// Commands run in order; each prints one or more lines "<what> <id> = <value>". A wait that
// times out prints "FAIL: ..." and ends the run with exit code 1.
//   wait-dialog <ms>              until a visible #32770 window with the caption exists
//   wait-enabled <id> <ms>        until the control is enabled
//   wait-gone <ms>                until the dialog window no longer exists
//   wait-disabled <id> <ms>       until the control is disabled
//   wait-selected <id> <row> <ms> until that row is the first selected row of the list view
//   text <id>                     the control's text (WM_GETTEXT)
//   set-text <id> <text>          sets the control's text (WM_SETTEXT), as typing would
//   enabled <id>                  1 or 0 (IsWindowEnabled)
//   checked <id>                  the check state (BM_GETCHECK)
//   combo <id>                    count, selection and every item (CB_GETCOUNT, CB_GETLBTEXT)
//   listview <id>                 rows, columns and the selected rows
//   select-row <id> <row>         selects that row of the list view alone (row -1: none)
//   wait-text <id> <text> <ms>    until the control's text is exactly <text>
//   choose <id> <index>           selects the combo box item and tells the dialog (CBN_SELCHANGE)
//   wait-box <caption> <ms>       waits for a message box with that caption, prints its text
//   listview-items <id>           every row's column texts, joined by "|" (read through a
//                                 buffer in the dialog's process)
//   key <id> <key>                a key pressed on the control: home, end, up and down are
//                                 sent to it; return and escape are posted, so that they reach
//                                 the dialog's own message loop as typed keys do
//   click <id>                    posts BN_CLICKED of the control to the dialog
//   click-bottom <id>             posts a mouse click 4 pixels above the bottom-left corner of
//                                 the control's client area (in a list view: below its rows)
//   close                         posts WM_CLOSE to the dialog
//   end-session                   sends WM_QUERYENDSESSION, then WM_ENDSESSION (TRUE), as a
//                                 log-off does; the dialog is not destroyed
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

#include "utf8_text.h"

namespace {

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
        else if (name == "wait-disabled") {
            int id = takeNumber();
            waitDisabled(id, takeNumber());
        }
        else if (name == "wait-selected") {
            int id = takeNumber();
            int row = takeNumber();
            waitSelected(id, row, takeNumber());
        }
        else if (name == "listview-items") listViewItems(takeNumber());
        else if (name == "key") {
            int id = takeNumber();
            key(id, take());
        }
        else if (name == "text") { int id = takeNumber(); report("text", id, escaped(windowText(control(id)))); }
        else if (name == "set-text") {
            int id = takeNumber();
            std::string text = take();
            SendMessageA(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
            report("set-text", id, escaped(text));
        }
        else if (name == "enabled") { int id = takeNumber(); report("enabled", id, IsWindowEnabled(control(id)) ? "1" : "0"); }
        else if (name == "checked") { int id = takeNumber(); report("checked", id, std::to_string(SendMessageW(control(id), BM_GETCHECK, 0, 0))); }
        else if (name == "combo") combo(takeNumber());
        else if (name == "listview") listView(takeNumber());
        else if (name == "select-row") {
            int id = takeNumber();
            selectRow(id, takeNumber());
        }
        else if (name == "wait-text") {
            int id = takeNumber();
            std::string text = take();
            waitText(id, text, takeNumber());
        }
        else if (name == "click") click(takeNumber());
        else if (name == "click-bottom") clickBottom(takeNumber());
        else if (name == "close") PostMessageW(dialog(), WM_CLOSE, 0, 0), say("close posted");
        else if (name == "end-session") {
            SendMessageW(dialog(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
            SendMessageW(dialog(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            say("session ended");
        }
        else if (name == "answer") answer();
        else if (name == "choose") {
            int id = takeNumber();
            choose(id, takeNumber());
        }
        else if (name == "wait-box") {
            std::string caption = take();
            waitBox(caption, takeNumber());
        }
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
    void waitDisabled(int id, int milliseconds) {
        if (!waitFor(milliseconds, [&] { return IsWindowEnabled(control(id)) == FALSE; }))
            fail("control " + std::to_string(id) + " was not disabled");
        report("enabled", id, "0");
    }
    void waitSelected(int id, int row, int milliseconds) {
        if (!waitFor(milliseconds, [&] { return firstSelected(control(id)) == row; }))
            fail("row " + std::to_string(row) + " of control " + std::to_string(id) + " was not selected");
        report("listview-selected", id, std::to_string(row));
    }
    static int firstSelected(HWND list) {
        auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row)
            if (SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) return row;
        return -1;
    }
    // LVM_GETITEMTEXTW carries a pointer: the record and the text live in the list's process.
    void listViewItems(int id) {
        HWND list = control(id);
        auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        auto columns = header != nullptr ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process == nullptr) fail("cannot open the dialog's process");
        constexpr int textChars = 1024;
        auto* remote = static_cast<BYTE*>(
            VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
        if (remote == nullptr) fail("cannot allocate in the dialog's process");
        auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        for (int row = 0; row < rows; ++row) {
            std::string line;
            for (int column = 0; column < columns; ++column) {
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = remoteText;
                item.cchTextMax = textChars;
                WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
                auto copied = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
                std::wstring text(static_cast<std::size_t>(copied), L'\0');
                ReadProcessMemory(process, remoteText, text.data(), text.size() * sizeof(wchar_t), nullptr);
                if (column > 0) line += '|';
                line += escaped(utf8(text));
            }
            report("listview-item", id, line);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
    }
    void key(int id, const std::string& name) {
        struct Key {
            const char* name;
            WPARAM code;
            bool posted;
        } const keys[] = {{"home", VK_HOME, false}, {"end", VK_END, false}, {"up", VK_UP, false},
                          {"down", VK_DOWN, false}, {"return", VK_RETURN, true}, {"escape", VK_ESCAPE, true}};
        for (const Key& k : keys) {
            if (name != k.name) continue;
            HWND target = control(id);
            if (k.posted) {
                PostMessageW(target, WM_KEYDOWN, k.code, 1);
                PostMessageW(target, WM_KEYUP, k.code, 0xC0000001);
            } else {
                SendMessageW(target, WM_KEYDOWN, k.code, 1);
                SendMessageW(target, WM_KEYUP, k.code, 0xC0000001);
            }
            report("key", id, name);
            return;
        }
        fail("unknown key " + name);
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
    // The list view belongs to another process: its item record must live there too.
    void selectRow(int id, int row) {
        HWND list = control(id);
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
        if (process == nullptr) fail("cannot open the dialog's process");
        void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT, PAGE_READWRITE);
        auto setState = [&](int item, UINT state) {
            LVITEMW record{};
            record.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            record.state = state;
            WriteProcessMemory(process, remote, &record, sizeof record, nullptr);
            SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(remote));
        };
        setState(-1, 0);  // every row off
        if (row >= 0) setState(row, LVIS_SELECTED | LVIS_FOCUSED);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        report("selected", id, std::to_string(row));
    }
    void waitText(int id, const std::string& text, int milliseconds) {
        if (!waitFor(milliseconds, [&] { return windowText(control(id)) == text; }))
            fail("control " + std::to_string(id) + " never read \"" + text + "\" (it reads \"" +
                 escaped(windowText(control(id))) + "\")");
        report("text", id, escaped(text));
    }
    void click(int id) {
        // Posted, not sent: the click may open a modal box that waits for us.
        PostMessageW(dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
        report("clicked", id, "1");
    }
    void choose(int id, int index) {
        HWND box = control(id);
        SendMessageW(box, CB_SETCURSEL, index, 0);
        PostMessageW(dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
        report("chosen", id, std::to_string(index));
    }
    void clickBottom(int id) {
        HWND target = control(id);
        RECT client{};
        GetClientRect(target, &client);
        LPARAM point = MAKELPARAM(client.left + 4, client.bottom - 4);
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(target, WM_LBUTTONUP, 0, point);
        report("clicked-bottom", id, "1");
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
        int milliseconds = takeNumber();
        HWND box = waitBox(caption, milliseconds);
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
