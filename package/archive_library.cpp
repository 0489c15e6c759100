#include "package/archive_library.h"

#include "config/build_config.h"

namespace setup {

int ArchiveLibrary::Load() {
    Unload();
    // By full path: a DLL planted in the current folder (a downloads folder, say) must
    // never run with the installer's rights.
    ArchiverModule module;
    for (const std::string& folder : {system_.programFolderW(), system_.systemFolderW()}) {
        if (!folder.empty()) module = ArchiverModule(dll_, dll_.load(folder + "\\" + archiverDllName));
        if (module) break;
    }
    if (!module) return 0;
    EntryPoint sevenZip = dll_.find(module.get(), "SevenZip");
    EntryPoint setOwner = dll_.find(module.get(), "SevenZipSetOwnerWindowEx");
    EntryPoint killOwner = dll_.find(module.get(), "SevenZipKillOwnerWindowEx");
    EntryPoint listW = dll_.find(module.get(), "SevenZipListW");
    // A DLL without all four entry points is not the archiver we can drive: calling a
    // missing one would crash the program, and without the listing nothing tells where the
    // package would write.
    if (sevenZip == 0 || setOwner == 0 || killOwner == 0 || listW == 0) return 0;
    module_ = std::move(module);
    sevenZip_ = sevenZip;
    setOwnerWindowEx_ = setOwner;
    killOwnerWindowEx_ = killOwner;
    listW_ = listW;
    return 1;
}

std::string ArchiveLibrary::commandLine(const std::string& archivePath, const std::string& destination) {
    return "x -y \"" + archivePath + "\" -o\"" + destination + "\" -hide";
}

int ArchiveLibrary::Extract(const PackagePath& archive, const std::string& destination,
                            ArchiverDll::Progress keepGoing, const Approval& approve) {
    failure_.clear();
    Load();
    system_.sleep(10);
    if (!loaded() || !files_.attributesW(archive.unicode)) return 0;
    std::string command = commandLine(archive.ansi, destination);
    // The command line buffer holds 1023 characters; a longer one would name another file.
    if (command.size() >= commandLineBufferSize) return 0;
    // Held from the listing to the end of the extraction: the archive that is unpacked is
    // the one that was listed, not one put in its place meanwhile.
    Result<FileHandle> held = FileHandle::adopt(files_, files_.openReadOnlyLockedW(archive.unicode));
    if (!held) return 0;
    if (!approve(dll_.listEntries(listW_, archive.unicode, outputBufferSize))) return 0;
    dll_.setOwnerWindowEx(setOwnerWindowEx_, ownerWindow_, std::move(keepGoing));
    system_.sleep(100);
    std::string output;
    ArchiverCall call = dll_.sevenZip(sevenZip_, ownerWindow_, command, output, outputBufferSize);
    int result = call.raised ? raisedResult : call.result;
    if (result != 0) failure_ = archiverReason(call, output);
    dll_.killOwnerWindowEx(killOwnerWindowEx_, ownerWindow_);
    system_.sleep(10);
    return result == 0 ? 2 : 0;
}

void ArchiveLibrary::Unload() {
    module_.reset();
    sevenZip_ = setOwnerWindowEx_ = killOwnerWindowEx_ = listW_ = 0;
}

std::string archiverReason(const ArchiverCall& call, const std::string& report) {
    if (call.raised) return text::archiverRaised;
    if (report.empty()) return "result " + std::to_string(call.result);
    return report + " (result " + std::to_string(call.result) + ")";
}

}  // namespace setup
