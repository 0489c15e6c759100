#include <windows.h>

#include "platform/win32/fault_guard.h"
#include "platform/win32/handle_cast.h"
#include "platform/win32/unicode.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

using ProgressCallback = BOOL(CALLBACK*)(HWND, UINT, UINT, LPVOID);
using SevenZipFunction = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
using SetOwnerWindowExFunction = BOOL(WINAPI*)(HWND, ProgressCallback);
using KillOwnerWindowExFunction = BOOL(WINAPI*)(HWND);

// What SevenZipListW hands to its callback (SEVENZIP_ENTRY_W of 7-zip32.h).
struct ListedEntry {
    LPCWSTR path;
    BOOL isDirectory;
    ULONGLONG size;
    BOOL hasCrc;
    DWORD crc;
};
using ListCallback = BOOL(CALLBACK*)(const ListedEntry*, LPVOID);
using ListFunction = int(WINAPI*)(LPCWSTR, ListCallback, LPVOID, LPSTR, DWORD);

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

// One SevenZipListW call, packed for FaultGuard. The entries live outside the guarded call,
// so a fault leaves them whole up to the last one added.
struct ListCall {
    ListFunction function;
    const wchar_t* archive;
    char* output;
    DWORD outputSize;
    std::vector<ArchiveEntry>* entries;
    int result;
};

BOOL CALLBACK collectEntry(const ListedEntry* entry, LPVOID context) {
    auto* entries = static_cast<std::vector<ArchiveEntry>*>(context);
    ArchiveEntry listed{utf8FromWide(entry->path), entry->isDirectory != FALSE, entry->size, std::nullopt};
    if (entry->hasCrc) listed.crc = entry->crc;
    entries->push_back(std::move(listed));
    return TRUE;
}

void callList(void* context) {
    auto* call = static_cast<ListCall*>(context);
    call->result = call->function(call->archive, collectEntry, call->entries, call->output, call->outputSize);
}

}  // namespace

Handle Win32ArchiverDll::load(const std::string& path) {
    // The DLL's own imports are then looked for beside it first.
    return toHandle(LoadLibraryExW(widePath(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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

ArchiverListing Win32ArchiverDll::listEntries(EntryPoint entry, const std::string& archivePath,
                                             std::uint32_t outputSize) {
    std::string buffer(std::size_t{outputSize} + 1, '\0');
    std::wstring archive = widePath(archivePath);
    ArchiverListing listing;
    ListCall call{entryFunction<ListFunction>(entry), archive.c_str(), buffer.data(), outputSize, &listing.entries, 0};
    listing.call.raised = !FaultGuard::run(callList, &call);
    listing.call.result = call.result;
    listing.report.assign(buffer.c_str());
    return listing;
}

}  // namespace setup::win32
