#include <windows.h>

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

}  // namespace setup::win32
