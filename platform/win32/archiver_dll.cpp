#include <windows.h>

#include "platform/win32/fault_guard.h"
#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

using ProgressCallback = BOOL(CALLBACK*)(HWND, UINT, UINT, LPVOID);
using SevenZipFunction = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
using SetOwnerWindowExFunction = BOOL(WINAPI*)(HWND, ProgressCallback);
using KillOwnerWindowExFunction = BOOL(WINAPI*)(HWND);

template <class Function>
Function entryFunction(EntryPoint entry) {
    return reinterpret_cast<Function>(entry);
}

// The archiver calls back a plain function; it reaches the registered progress through this.
ArchiverDll::Progress registeredProgress;

BOOL CALLBACK progressTrampoline(HWND, UINT, UINT, LPVOID) {
    return !registeredProgress || registeredProgress() ? TRUE : FALSE;
}

// One SevenZip call, packed for FaultGuard.
struct SevenZipCall {
    SevenZipFunction function;
    HWND window;
    const char* commandLine;
    char* output;
    DWORD outputSize;
    int result;
};

void callSevenZip(void* context) {
    auto* call = static_cast<SevenZipCall*>(context);
    call->result = call->function(call->window, call->commandLine, call->output, call->outputSize);
}

}  // namespace

Handle Win32ArchiverDll::load(const std::string& fileName) {
    return toHandle(LoadLibraryA(fileName.c_str()));
}

void Win32ArchiverDll::free(Handle module) {
    FreeLibrary(fromHandle<HMODULE>(module));
}

EntryPoint Win32ArchiverDll::find(Handle module, const std::string& name) {
    return reinterpret_cast<EntryPoint>(GetProcAddress(fromHandle<HMODULE>(module), name.c_str()));
}

ArchiverCall Win32ArchiverDll::sevenZip(EntryPoint entry, Handle window, const std::string& commandLine,
                                        std::string& output, std::uint32_t outputSize) {
    // One byte more than the archiver is told, so its text always ends with a NUL.
    std::string buffer(std::size_t{outputSize} + 1, '\0');
    SevenZipCall call{entryFunction<SevenZipFunction>(entry), fromHandle<HWND>(window), commandLine.c_str(),
                      buffer.data(), outputSize, 0};
    ArchiverCall ended;
    ended.raised = !FaultGuard::run(callSevenZip, &call);
    ended.result = call.result;
    output.assign(buffer.c_str());
    return ended;
}

bool Win32ArchiverDll::setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) {
    registeredProgress = std::move(progress);
    return entryFunction<SetOwnerWindowExFunction>(entry)(fromHandle<HWND>(window), progressTrampoline) != FALSE;
}

bool Win32ArchiverDll::killOwnerWindowEx(EntryPoint entry, Handle window) {
    return entryFunction<KillOwnerWindowExFunction>(entry)(fromHandle<HWND>(window)) != FALSE;
}

}  // namespace setup::win32
