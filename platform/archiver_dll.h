#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/result.h"

namespace setup {

// Address of an entry point of a loaded module; 0 when the module does not export it.
using EntryPoint = std::uintptr_t;

// How a call into the archiver ended.
struct ArchiverCall {
    bool raised = false;  // ended by an exception instead of returning
    int result = 0;       // the returned value when it returned
};

// The archiver DLL, loaded by name and called through its three entry points:
//   int  SevenZip(HWND, LPCSTR commandLine, LPSTR output, DWORD outputSize)
//   BOOL SevenZipSetOwnerWindowEx(HWND, BOOL (CALLBACK*)(HWND, UINT, UINT, LPVOID))
//   BOOL SevenZipKillOwnerWindowEx(HWND)
class ArchiverDll {
public:
    // The progress callback the owner window registers: true lets the archiver go on.
    using Progress = std::function<bool()>;

    virtual ~ArchiverDll() = default;
    virtual Handle load(const std::string& fileName) = 0;  // LoadLibraryA; 0 on failure
    virtual void free(Handle module) = 0;                   // FreeLibrary
    virtual EntryPoint find(Handle module, const std::string& name) = 0;  // GetProcAddress
    virtual ArchiverCall sevenZip(EntryPoint entry, Handle window, const std::string& commandLine,
                                  std::string& output, std::uint32_t outputSize) = 0;
    virtual bool setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) = 0;
    virtual bool killOwnerWindowEx(EntryPoint entry, Handle window) = 0;
};

}  // namespace setup
