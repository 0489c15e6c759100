#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"

namespace setup {

// What GetVersionExA fills in.
struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
};

constexpr std::uint32_t osVersionInfoExSize = 156;  // OSVERSIONINFOEXA
constexpr std::uint32_t osVersionInfoSize = 148;    // OSVERSIONINFOA

// What GetLocalTime fills in.
struct LocalTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// A started worker thread.
class WorkerThread {
public:
    virtual ~WorkerThread() = default;
    virtual bool finished() = 0;
};

// A named mutex as CreateMutexW made or opened it.
struct NamedMutex {
    Handle handle = 0;
    bool alreadyExisted = false;  // the name was taken before: ERROR_ALREADY_EXISTS
};

// Process-wide facts and services of the system.
class System {
public:
    virtual ~System() = default;
    // GetVersionExA with a record whose size field says recordSize; nothing when it fails.
    virtual std::optional<OsVersion> versionEx(std::uint32_t recordSize) = 0;
    // IsWow64Process on the current process, looked up in kernel32; nothing when kernel32
    // does not export it or the call fails.
    virtual std::optional<bool> isWow64Process() = 0;
    // Whether this program is itself built for 64-bit Windows (the test build of the same
    // sources). Such a program runs on 64-bit Windows only, where IsWow64Process answers
    // FALSE for it.
    virtual bool programIs64Bit() = 0;
    // Whether the process runs as the LocalSystem account: the user of its token
    // (OpenProcessToken, GetTokenInformation(TokenUser)) is S-1-5-18. Nothing when the token
    // cannot be read.
    virtual std::optional<bool> runsAsLocalSystem() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
    // FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM) of an error
    // in the neutral language, as the system has it (usually ending in a line break); empty
    // when the system has no text for it.
    virtual std::string systemMessage(std::uint32_t error) = 0;
    // The program's title: its file name without the extension.
    virtual std::string programTitle() = 0;
    // Enables a privilege on the process token: OpenProcessToken with TOKEN_ADJUST_PRIVILEGES |
    // TOKEN_QUERY, LookupPrivilegeValueA, AdjustTokenPrivileges. False when a step failed.
    virtual bool enablePrivilege(const std::string& name) = 0;
    // CreateThread with default security and stack size, running at once.
    virtual std::unique_ptr<WorkerThread> startThread(std::function<void()> body) = 0;

    // --- DLL search and the installer's lock (UTF-8 paths and names) ----------------------------
    // The folder of the running program (GetModuleFileNameW) and the system folder
    // (GetSystemDirectoryW), without a trailing backslash.
    virtual std::string programFolderW() = 0;
    virtual std::string systemFolderW() = 0;
    // Takes the current folder out of the DLL search for the rest of the process:
    // SetDllDirectoryW(L"") and, where kernel32 exports it, SetDefaultDllDirectories with
    // the program's folder and system32.
    virtual void restrictDllSearch() = 0;
    // CreateMutexW (not owned) with the name; the error code when it fails.
    virtual Result<NamedMutex> createNamedMutex(const std::string& name) = 0;
    virtual void closeMutex(Handle mutex) = 0;  // CloseHandle

    virtual LocalTime localTime() = 0;  // GetLocalTime
};

// A named mutex that closes itself (CloseHandle).
using MutexHandle = UniqueHandle<System, &System::closeMutex>;

}  // namespace setup
