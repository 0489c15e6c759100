// launch: starts a program, watches it and reports how it ended, for the Wine suite.
//
//   launch.exe [--detached <seconds>] <program> [<argument>...]
//
// Runs the rest of its own command line as it stands, handing it this standard output, and
// waits for the process. With --detached the program is started as deployment agents start
// it: without a console and without standard handles; when it has not ended after that many
// seconds (waiting for somebody to answer a box, say) it is ended and "timed-out = 1"
// printed. It prints
//   window = <class> "<caption>"   for each visible top-level window the process showed
//   exit-code = <n>                the whole exit code (a Unix shell keeps only 8 bits)
// Exits 0 when the program could be started, 1 when not.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "utf8_text.h"

namespace {

// The line after its first argument, spaces before the next argument dropped.
const wchar_t* afterFirstArgument(const wchar_t* line) {
    bool quoted = false;
    for (; *line != L'\0'; ++line) {
        if (*line == L'"') quoted = !quoted;
        else if ((*line == L' ' || *line == L'\t') && !quoted) break;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

struct Watch {
    DWORD process;
    std::set<std::string>* seen;
};

BOOL CALLBACK noteWindow(HWND window, LPARAM parameter) {
    auto* watch = reinterpret_cast<Watch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != watch->process || !IsWindowVisible(window)) return TRUE;
    wchar_t className[256] = L"", caption[256] = L"";
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, caption, 256);
    std::string entry = utf8(className) + " \"" + utf8(caption) + "\"";
    if (watch->seen->insert(entry).second) std::printf("window = %s\n", entry.c_str());
    return TRUE;
}

}  // namespace

int main() {
    const wchar_t* rest = afterFirstArgument(GetCommandLineW());
    DWORD limitMs = INFINITE;
    const bool detached = wcsncmp(rest, L"--detached ", 11) == 0;
    if (detached) {
        rest = afterFirstArgument(rest);
        limitMs = static_cast<DWORD>(_wtoi(rest)) * 1000;
        rest = afterFirstArgument(rest);
    }
    std::wstring command = rest;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!detached) {
        // The program writes to this one's standard output, as a deployment tool would see it.
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    std::fflush(stdout);
    if (command.empty() || !CreateProcessW(nullptr, command.data(), nullptr, nullptr, detached ? FALSE : TRUE,
                                           detached ? DETACHED_PROCESS : 0, nullptr, nullptr, &startup, &process)) {
        std::printf("FAIL: cannot start the program (error %lu)\n", GetLastError());
        return 1;
    }
    std::set<std::string> seen;
    Watch watch{process.dwProcessId, &seen};
    const DWORD started = GetTickCount();
    do {
        EnumWindows(noteWindow, reinterpret_cast<LPARAM>(&watch));
        std::fflush(stdout);
        if (limitMs != INFINITE && GetTickCount() - started > limitMs) {
            std::printf("timed-out = 1\n");
            TerminateProcess(process.hProcess, 259);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    } while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit-code = %lu\n", code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
