// Loads 7-zip32.dll as the installer does and runs one command through it, timing the call.
//   sevenzip_dll_driver.exe <path of 7-zip32.dll> <command line, passed through unchanged>
//   sevenzip_dll_driver.exe <path of 7-zip32.dll> @<file holding the command line>
// (the file form avoids any re-quoting by the shell or by Wine).
// Prints the result, the report, the number of callback calls, the time SevenZip took and
// this process's id (the one the DLL's temporary file names carry).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "archiver/dll/7-zip32.h"

namespace {

long g_entries = 0;

BOOL CALLBACK count_entries(HWND, UINT message, UINT, LPVOID info) {
    if (message == SEVENZIP_MSG_EXTRACT && info) ++g_entries;
    return TRUE;
}

// Skips one (possibly quoted) token of a raw command line.
const char* skip_token(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p)
        if (*p == '"') quoted = !quoted;
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

void (*symbol(HMODULE dll, const char* name))() {
    return reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <7-zip32.dll> <command line>\n", argv[0]);
        return 2;
    }
    HMODULE dll = LoadLibraryA(argv[1]);
    if (!dll) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 2;
    }
    auto run = reinterpret_cast<int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD)>(symbol(dll, "SevenZip"));
    auto set_owner = reinterpret_cast<BOOL(WINAPI*)(HWND, LPSEVENZIPCALLBACK)>(symbol(dll, "SevenZipSetOwnerWindowEx"));
    auto kill_owner = reinterpret_cast<BOOL(WINAPI*)(HWND)>(symbol(dll, "SevenZipKillOwnerWindowEx"));
    if (!run || !set_owner || !kill_owner) {
        std::fprintf(stderr, "7-zip32.dll lacks an export\n");
        return 2;
    }
    const char* line = skip_token(skip_token(GetCommandLineA()));
    static char from_file[4096];
    if (argv[2][0] == '@') {
        FILE* f = std::fopen(argv[2] + 1, "rb");
        if (!f) {
            std::fprintf(stderr, "cannot read %s\n", argv[2] + 1);
            return 2;
        }
        size_t n = std::fread(from_file, 1, sizeof from_file - 1, f);
        std::fclose(f);
        while (n > 0 && (from_file[n - 1] == '\n' || from_file[n - 1] == '\r')) --n;
        from_file[n] = '\0';
        line = from_file;
    }
    set_owner(nullptr, count_entries);
    char report[1024];
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    const int result = run(nullptr, line, report, sizeof report);
    QueryPerformanceCounter(&t1);
    kill_owner(nullptr);
    const double seconds = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
    std::printf("result=%d entries=%ld seconds=%.3f\nreport=%s\nprocess=%lu\n", result, g_entries, seconds, report,
                static_cast<unsigned long>(GetCurrentProcessId()));
    return result;
}
