#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace setup {

constexpr std::uint32_t fileAttributeReadOnly = 0x01;
constexpr std::uint32_t fileAttributeDirectory = 0x10;
constexpr std::uint32_t fileAttributeReparsePoint = 0x400;

struct FoundFile {
    std::string name;  // as FindFirstFileA / FindNextFileA give it, "." and ".." included
    std::uint32_t attributes = 0;
};

// Files, folders and profile (INI) files, with Windows' path rules: both slashes separate,
// names compare without regard to case, "C:\" is the root of drive C.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // GetCurrentDirectoryA into a buffer of the given size; empty when it does not fit.
    virtual std::string currentDirectory(std::uint32_t bufferSize) = 0;
    virtual std::optional<std::uint32_t> attributes(const std::string& path) = 0;  // GetFileAttributesA
    // FindFirstFileA / FindNextFileA / FindClose over a pattern such as "c:\Ticket//*.*".
    virtual Result<std::vector<FoundFile>> findFiles(const std::string& pattern) = 0;
    virtual bool deleteFile(const std::string& path) = 0;       // DeleteFileA
    virtual bool removeDirectory(const std::string& path) = 0;  // RemoveDirectoryA
    virtual bool copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;  // CopyFileA
    // MoveFileExA within one volume, so that the file is at one name or the other and never
    // half copied; with replaceExisting (MOVEFILE_REPLACE_EXISTING) it takes the place of a
    // file of the new name.
    virtual bool moveFile(const std::string& from, const std::string& to, bool replaceExisting) = 0;
    // GetSystemDirectoryA / GetWindowsDirectoryA into a buffer of bufferSize bytes; empty when
    // it does not fit.
    virtual std::string systemDirectory(std::uint32_t bufferSize) = 0;
    virtual std::string windowsDirectory(std::uint32_t bufferSize) = 0;

    // GetPrivateProfileSectionNamesA into a zeroed buffer of bufferSize bytes; returns the
    // whole buffer as the call leaves it (names, each followed by NUL, then one more NUL;
    // truncated by the function's own rules when it does not fit).
    virtual std::string profileSectionNames(const std::string& file, std::uint32_t bufferSize) = 0;
    // GetPrivateProfileStringA with an empty default: the value, cut to bufferSize - 1 bytes.
    virtual std::string profileString(const std::string& file, const std::string& section, const std::string& key,
                                      std::uint32_t bufferSize) = 0;

    // --- Unicode paths -----------------------------------------------------------------------
    // Paths in UTF-8, so that any name works whatever the ANSI code page. Windows gets them
    // through the wide-character calls, absolute paths longer than MAX_PATH in the \\?\ form.
    virtual std::string currentDirectoryW() = 0;  // GetCurrentDirectoryW; empty on failure
    virtual std::optional<std::uint32_t> attributesW(const std::string& path) = 0;           // GetFileAttributesW
    virtual bool setAttributesW(const std::string& path, std::uint32_t attributes) = 0;     // SetFileAttributesW
    virtual bool deleteFileW(const std::string& path) = 0;                                  // DeleteFileW
    virtual bool removeDirectoryW(const std::string& path) = 0;                             // RemoveDirectoryW
    // GetShortPathNameW: the 8.3 form of an existing path (components without a short name
    // stay long); empty on failure.
    virtual std::string shortPathW(const std::string& path) = 0;
    // WideCharToMultiByte to the ANSI code page without best-fit: the text as an *A call
    // takes it; nothing when the code page cannot spell one of its characters.
    virtual std::optional<std::string> ansiSpelling(const std::string& text) = 0;
    // CreateFileW for reading, shared for reading only: while the handle is open nobody can
    // change, replace, rename or delete the file. The error code when it cannot be opened.
    virtual Result<Handle> openReadOnlyLockedW(const std::string& path) = 0;
    virtual void closeFile(Handle file) = 0;  // CloseHandle
    // MultiByteToWideChar from the ANSI code page: a text an *A call gave, in UTF-8.
    virtual std::string unicodeSpelling(const std::string& ansi) = 0;
    // Appends the bytes to the file, creating it when it does not exist (CreateFileW with
    // OPEN_ALWAYS and FILE_APPEND_DATA, shared for reading and writing; WriteFile). False when
    // any of it could not be written.
    virtual bool appendFileW(const std::string& path, const std::string& bytes) = 0;
    // CreateFileW and ReadFile: the whole file's bytes, or the error code.
    virtual Result<std::string> readFileW(const std::string& path) = 0;
    // FindFirstFileW / FindNextFileW / FindClose over "folder\*": every entry of the folder
    // with its attributes, names in UTF-8, without "." and "..". The error code when the
    // folder cannot be searched.
    virtual Result<std::vector<FoundFile>> folderEntriesW(const std::string& folder) = 0;
    // CreateDirectoryW with the security descriptor an SDDL text describes
    // (ConvertStringSecurityDescriptorToSecurityDescriptorW); 0 or the error code.
    virtual std::uint32_t createFolderW(const std::string& path, const std::string& sddl) = 0;
};

// A file opened through the file system that closes itself (CloseHandle).
using FileHandle = UniqueHandle<FileSystem, &FileSystem::closeFile>;

}  // namespace setup
