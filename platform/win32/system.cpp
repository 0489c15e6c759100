#include <windows.h>

#include <vector>

#include "platform/win32/unicode.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

// A thread made by CreateThread; the handle is kept only to tell when the thread has ended.
class Win32WorkerThread : public WorkerThread {
public:
    explicit Win32WorkerThread(HANDLE thread) : thread_(thread) {}
    ~Win32WorkerThread() override { CloseHandle(thread_); }
    bool finished() override { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }

private:
    HANDLE thread_;
};

DWORD WINAPI runThreadBody(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32 (not in every SDK).
constexpr DWORD searchProgramFolderAndSystem32 = 0x00000200 | 0x00000800;

}  // namespace

std::optional<OsVersion> Win32System::versionEx(std::uint32_t recordSize) {
    // The record is always the larger one; the size field tells the system which one it is.
    OSVERSIONINFOEXA record{};
    record.dwOSVersionInfoSize = recordSize;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) return std::nullopt;
    return OsVersion{record.dwMajorVersion, record.dwMinorVersion, record.dwBuildNumber, record.dwPlatformId};
}

bool Win32System::enablePrivilege(const std::string& name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled = LookupPrivilegeValueA(nullptr, name.c_str(), &privileges.Privileges[0].Luid) &&
                   AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
    return enabled;
}

std::optional<bool> Win32System::isWow64Process() {
    // Looked up at run time: older systems do not export it.
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (kernel == nullptr) return std::nullopt;
    auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (isWow64 == nullptr) return std::nullopt;
    BOOL wow64 = FALSE;
    if (!isWow64(GetCurrentProcess(), &wow64)) return std::nullopt;
    return wow64 != FALSE;
}

bool Win32System::programIs64Bit() {
    return sizeof(void*) == 8;
}

std::optional<bool> Win32System::runsAsLocalSystem() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    const bool read = size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!read) return std::nullopt;
    // S-1-5-18, built rather than looked up by name: every Windows NT knows it, under any language.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID localSystem = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &localSystem))
        return std::nullopt;
    const bool same = EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, localSystem) != FALSE;
    FreeSid(localSystem);
    return same;
}

void Win32System::sleep(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::string Win32System::systemMessage(std::uint32_t error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
                                  nullptr);
    std::string message(text != nullptr ? text : "", length);
    if (text != nullptr) LocalFree(text);
    return message;
}

std::string Win32System::programTitle() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string title(path);
    std::size_t folderEnd = title.find_last_of("\\/");
    if (folderEnd != std::string::npos) title.erase(0, folderEnd + 1);
    std::size_t extension = title.rfind('.');
    if (extension != std::string::npos) title.erase(extension);
    return title;
}

std::unique_ptr<WorkerThread> Win32System::startThread(std::function<void()> body) {
    auto parameter = std::make_unique<std::function<void()>>(std::move(body));
    HANDLE thread = CreateThread(nullptr, 0, runThreadBody, parameter.get(), 0, nullptr);
    if (thread == nullptr) return nullptr;
    parameter.release();  // the thread owns it now
    return std::make_unique<Win32WorkerThread>(thread);
}

std::string Win32System::programFolderW() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut to fit: ask again with more room
    }
    std::size_t folderEnd = path.find_last_of(L"\\/");
    return folderEnd == std::wstring::npos ? std::string() : utf8FromWide(path.substr(0, folderEnd));
}

std::string Win32System::systemFolderW() {
    wchar_t path[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return utf8FromWide(std::wstring(path, length));
}

void Win32System::restrictDllSearch() {
    // Both looked up at run time: SetDllDirectoryW came with XP SP1, SetDefaultDllDirectories
    // with an update of Windows 7.
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (kernel == nullptr) return;
    auto setDirectory = reinterpret_cast<SetDllDirectoryFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirectory != nullptr) setDirectory(L"");
    if (setDefault != nullptr) setDefault(searchProgramFolderAndSystem32);
}

Result<NamedMutex> Win32System::createNamedMutex(const std::string& name) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wideFromUtf8(name).c_str());
    DWORD error = GetLastError();
    if (mutex == nullptr) return Result<NamedMutex>::failure(error);
    return NamedMutex{reinterpret_cast<Handle>(mutex), error == ERROR_ALREADY_EXISTS};
}

void Win32System::closeMutex(Handle mutex) {
    CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

LocalTime Win32System::localTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace setup::win32
