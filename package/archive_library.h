#pragma once

#include <functional>
#include <string>

#include "platform/archiver_dll.h"
#include "platform/files.h"
#include "platform/system.h"

namespace setup {

// Where the package lies: its Unicode path, for the checks and the listing, and its
// spelling in the ANSI code page, which the archiver's command line takes.
struct PackagePath {
    std::string unicode;
    std::string ansi;
};

// The archiver DLL, loaded only for as long as the package is unpacked.
class ArchiveLibrary {
public:
    // Asked with the archive's listing before the extraction: false stops before anything
    // is written.
    using Approval = std::function<bool(const ArchiverListing&)>;

    ArchiveLibrary(ArchiverDll& dll, FileSystem& files, System& system) : dll_(dll), files_(files), system_(system) {}
    ~ArchiveLibrary() { Unload(); }
    ArchiveLibrary(const ArchiveLibrary&) = delete;
    ArchiveLibrary& operator=(const ArchiveLibrary&) = delete;

    // 1 when the DLL is loaded with all four entry points, 0 otherwise. Only the program's
    // own folder and the system folder are looked in, never the current folder.
    int Load();
    // Lists the archive, lets `approve` look at the listing, then unpacks the archive into
    // the destination folder: 2 on success, 0 on failure. keepGoing is asked on every
    // progress report; false stops the archiver.
    int Extract(const PackagePath& archive, const std::string& destination, ArchiverDll::Progress keepGoing,
                const Approval& approve);
    void Unload();

    bool loaded() const { return static_cast<bool>(module_); }
    void setOwnerWindow(Handle window) { ownerWindow_ = window; }
    // Why the last extraction's SevenZip call failed, in the archiver's words; empty when
    // it succeeded or was not made.
    const std::string& failure() const { return failure_; }

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
    ArchiverModule module_;
    EntryPoint sevenZip_ = 0;
    EntryPoint setOwnerWindowEx_ = 0;
    EntryPoint killOwnerWindowEx_ = 0;
    EntryPoint listW_ = 0;
    Handle ownerWindow_ = 0;
    std::string failure_;
};

// How a call into the archiver failed, for the user: its report, or that it raised.
std::string archiverReason(const ArchiverCall& call, const std::string& report);

}  // namespace setup
