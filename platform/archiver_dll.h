#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace setup {

// Address of an entry point of a loaded module; 0 when the module does not export it.
using EntryPoint = std::uintptr_t;

// How a call into the archiver ended.
struct ArchiverCall {
    bool raised = false;  // ended by an exception instead of returning
    int result = 0;       // the returned value when it returned
};

// One entry of the archive, as extracting it with "x" writes it.
struct ArchiveEntry {
    std::string path;  // below the destination, UTF-8, '\' separators
    bool folder = false;
    std::uint64_t size = 0;              // unpacked size in bytes
    std::optional<std::uint32_t> crc;    // CRC-32 of the unpacked bytes, when the archive keeps one
};

// How a listing ended, and what it listed.
struct ArchiverListing {
    ArchiverCall call;
    std::string report;  // the archiver's report line (its reason when it failed)
    std::vector<ArchiveEntry> entries;
};

// The archiver DLL, loaded from a full path and called through its entry points:
//   int  SevenZip(HWND, LPCSTR commandLine, LPSTR output, DWORD outputSize)
//   BOOL SevenZipSetOwnerWindowEx(HWND, BOOL (CALLBACK*)(HWND, UINT, UINT, LPVOID))
//   BOOL SevenZipKillOwnerWindowEx(HWND)
//   int  SevenZipListW(LPCWSTR archive, BOOL (CALLBACK*)(const SEVENZIP_ENTRY_W*, LPVOID),
//                      LPVOID context, LPSTR output, DWORD outputSize)
class ArchiverDll {
public:
    // The progress callback the owner window registers: true lets the archiver go on.
    using Progress = std::function<bool()>;

    virtual ~ArchiverDll() = default;
    // LoadLibraryExW with a full path (UTF-8) and LOAD_WITH_ALTERED_SEARCH_PATH; 0 on failure.
    virtual Handle load(const std::string& path) = 0;
    virtual void free(Handle module) = 0;                   // FreeLibrary
    virtual EntryPoint find(Handle module, const std::string& name) = 0;  // GetProcAddress
    virtual ArchiverCall sevenZip(EntryPoint entry, Handle window, const std::string& commandLine,
                                  std::string& output, std::uint32_t outputSize) = 0;
    virtual bool setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) = 0;
    virtual bool killOwnerWindowEx(EntryPoint entry, Handle window) = 0;
    // SevenZipListW on an archive named by a UTF-8 path; the report comes from an output
    // buffer of outputSize bytes.
    virtual ArchiverListing listEntries(EntryPoint entry, const std::string& archivePath, std::uint32_t outputSize) = 0;
};

// A loaded archiver DLL that frees itself (FreeLibrary).
using ArchiverModule = UniqueHandle<ArchiverDll, &ArchiverDll::free>;

}  // namespace setup
