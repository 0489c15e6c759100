#include <windows.h>
#include <sddl.h>

#include "platform/win32/unicode.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

std::string Win32FileSystem::currentDirectory(std::uint32_t bufferSize) {
    std::string buffer(bufferSize, '\0');
    DWORD length = GetCurrentDirectoryA(bufferSize, buffer.data());
    // A directory that does not fit comes back as the size it would need, not as text.
    if (length == 0 || length >= bufferSize) return {};
    buffer.resize(length);
    return buffer;
}

std::optional<std::uint32_t> Win32FileSystem::attributes(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

Result<std::vector<FoundFile>> Win32FileSystem::findFiles(const std::string& pattern) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return Result<std::vector<FoundFile>>::failure(GetLastError());
    std::vector<FoundFile> files;
    do {
        files.push_back(FoundFile{found.cFileName, found.dwFileAttributes});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

bool Win32FileSystem::deleteFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

bool Win32FileSystem::removeDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32FileSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool Win32FileSystem::moveFile(const std::string& from, const std::string& to, bool replaceExisting) {
    return MoveFileExA(from.c_str(), to.c_str(), replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0) != FALSE;
}

namespace {

// A folder name the system writes into a buffer: empty when it does not fit.
template <class Query>
std::string folderInto(std::uint32_t bufferSize, Query query) {
    std::string buffer(bufferSize, '\0');
    UINT length = query(buffer.data(), bufferSize);
    if (length == 0 || length >= bufferSize) return {};
    buffer.resize(length);
    return buffer;
}

}  // namespace

std::string Win32FileSystem::systemDirectory(std::uint32_t bufferSize) {
    return folderInto(bufferSize, GetSystemDirectoryA);
}

std::string Win32FileSystem::windowsDirectory(std::uint32_t bufferSize) {
    return folderInto(bufferSize, GetWindowsDirectoryA);
}

std::string Win32FileSystem::profileSectionNames(const std::string& file, std::uint32_t bufferSize) {
    std::string buffer(bufferSize, '\0');
    GetPrivateProfileSectionNamesA(buffer.data(), bufferSize, file.c_str());
    return buffer;
}

std::string Win32FileSystem::profileString(const std::string& file, const std::string& section,
                                           const std::string& key, std::uint32_t bufferSize) {
    std::string buffer(bufferSize, '\0');
    DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), bufferSize, file.c_str());
    buffer.resize(length);
    return buffer;
}

std::string Win32FileSystem::currentDirectoryW() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return {};
    std::wstring buffer(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, buffer.data());
    if (length == 0 || length >= size) return {};
    buffer.resize(length);
    return utf8FromWide(buffer);
}

std::optional<std::uint32_t> Win32FileSystem::attributesW(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

bool Win32FileSystem::setAttributesW(const std::string& path, std::uint32_t attributes) {
    return SetFileAttributesW(widePath(path).c_str(), attributes) != FALSE;
}

bool Win32FileSystem::deleteFileW(const std::string& path) {
    return DeleteFileW(widePath(path).c_str()) != FALSE;
}

bool Win32FileSystem::removeDirectoryW(const std::string& path) {
    return RemoveDirectoryW(widePath(path).c_str()) != FALSE;
}

std::string Win32FileSystem::shortPathW(const std::string& path) {
    std::wstring wide = wideFromUtf8(path);
    DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring buffer(size, L'\0');
    DWORD length = GetShortPathNameW(wide.c_str(), buffer.data(), size);
    if (length == 0 || length >= size) return {};
    buffer.resize(length);
    return utf8FromWide(buffer);
}

std::optional<std::string> Win32FileSystem::ansiSpelling(const std::string& text) {
    std::wstring wide = wideFromUtf8(text);
    if (wide.empty()) return std::string();
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, &lossy);
    if (size == 0 || lossy) return std::nullopt;
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), ansi.data(), size,
                        nullptr, &lossy);
    if (lossy) return std::nullopt;
    return ansi;
}

Result<Handle> Win32FileSystem::openReadOnlyLockedW(const std::string& path) {
    HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Result<Handle>::failure(GetLastError());
    return reinterpret_cast<Handle>(file);
}

void Win32FileSystem::closeFile(Handle file) {
    CloseHandle(reinterpret_cast<HANDLE>(file));
}

std::string Win32FileSystem::unicodeSpelling(const std::string& ansi) {
    if (ansi.empty()) return {};
    int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), size);
    return utf8FromWide(wide);
}

bool Win32FileSystem::appendFileW(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(widePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

Result<std::string> Win32FileSystem::readFileW(const std::string& path) {
    HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Result<std::string>::failure(GetLastError());
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    BOOL ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr)) && read > 0) bytes.append(chunk, read);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (!ok) return Result<std::string>::failure(error);
    return bytes;
}

Result<std::vector<FoundFile>> Win32FileSystem::folderEntriesW(const std::string& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(widePath(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return Result<std::vector<FoundFile>>::failure(GetLastError());
    std::vector<FoundFile> entries;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") entries.push_back(FoundFile{utf8FromWide(name), found.dwFileAttributes});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

std::uint32_t Win32FileSystem::createFolderW(const std::string& path, const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(wideFromUtf8(sddl).c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return GetLastError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    DWORD error = CreateDirectoryW(widePath(path).c_str(), &attributes) ? ERROR_SUCCESS : GetLastError();
    LocalFree(descriptor);
    return error;
}

}  // namespace setup::win32
