// scripted_archiver.dll: an archiver DLL with the three entry points whose SevenZip does what
// its command line names, so that platform_checks can see how calls into a foreign DLL end.
//   "fault"         writes through a null pointer (access violation)
//   "divide"        divides by zero
//   "throw-inside"  throws a C++ exception and catches it itself, then returns 7
//   anything else   calls the registered progress callback once, writes "ok:<command>" to
//                   the output and returns 0, or 3 when the callback said stop
#include <windows.h>

#include <cstring>
#include <string>
#include <stdexcept>

namespace {

using Progress = BOOL(CALLBACK*)(HWND, UINT, UINT, LPVOID);
Progress progress = nullptr;
volatile int zero = 0;
volatile int dividend = 100;  // not 1: the compiler turns 1 / x into a comparison
int* volatile nowhere = nullptr;

__attribute__((noinline)) int throwAndCatch() {
    try {
        throw std::runtime_error("handled inside the archiver");
    } catch (const std::exception&) {
        return 7;
    }
}

}  // namespace

extern "C" __declspec(dllexport) int WINAPI SevenZip(HWND window, LPCSTR command, LPSTR output, DWORD outputSize) {
    if (std::strcmp(command, "fault") == 0) {
        *nowhere = 1;
        return -1;
    }
    if (std::strcmp(command, "divide") == 0) return dividend / zero;
    if (std::strcmp(command, "throw-inside") == 0) return throwAndCatch();
    bool goOn = progress == nullptr || progress(window, 0, 0, nullptr);
    std::string text = std::string("ok:") + command;
    if (outputSize > 0) {
        std::strncpy(output, text.c_str(), outputSize - 1);
        output[outputSize - 1] = '\0';
    }
    return goOn ? 0 : 3;
}

extern "C" __declspec(dllexport) BOOL WINAPI SevenZipSetOwnerWindowEx(HWND, Progress callback) {
    progress = callback;
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI SevenZipKillOwnerWindowEx(HWND) {
    progress = nullptr;
    return TRUE;
}
