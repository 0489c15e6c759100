#pragma once

#include <string>

#include "platform/archiver_dll.h"
#include "platform/files.h"
#include "platform/system.h"

namespace setup {

// The archiver DLL, loaded only for as long as the package is unpacked.
class ArchiveLibrary {
public:
    ArchiveLibrary(ArchiverDll& dll, FileSystem& files, System& system) : dll_(dll), files_(files), system_(system) {}
    ~ArchiveLibrary() { Unload(); }
    ArchiveLibrary(const ArchiveLibrary&) = delete;
    ArchiveLibrary& operator=(const ArchiveLibrary&) = delete;

    // 1 when the DLL is loaded with all three entry points, 0 otherwise.
    int Load();
    // Unpacks the archive into the destination folder: 2 on success, 0 on failure.
    // keepGoing is asked on every progress report; false stops the archiver.
    int Extract(const std::string& archivePath, const std::string& destination, ArchiverDll::Progress keepGoing);
    void Unload();

    bool loaded() const { return module_ != 0; }
    void setOwnerWindow(Handle window) { ownerWindow_ = window; }

    // What the archiver returns in place of a call that ended by an exception.
    static constexpr int raisedResult = 100;
    // The command line the archiver gets: extract with folders, yes to every question,
    // into the destination, without its own progress window.
    static std::string commandLine(const std::string& archivePath, const std::string& destination);
    static constexpr std::size_t commandLineBufferSize = 1024;
    static constexpr std::uint32_t outputBufferSize = 16384;

private:
    ArchiverDll& dll_;
    FileSystem& files_;
    System& system_;
    Handle module_ = 0;
    EntryPoint sevenZip_ = 0;
    EntryPoint setOwnerWindowEx_ = 0;
    EntryPoint killOwnerWindowEx_ = 0;
    Handle ownerWindow_ = 0;
};

}  // namespace setup
