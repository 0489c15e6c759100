#include "package/archive_library.h"

#include "config/build_config.h"

namespace setup {

int ArchiveLibrary::Load() {
    Unload();
    Handle module = dll_.load(archiverDllName);
    if (module == 0) return 0;
    EntryPoint sevenZip = dll_.find(module, "SevenZip");
    EntryPoint setOwner = dll_.find(module, "SevenZipSetOwnerWindowEx");
    EntryPoint killOwner = dll_.find(module, "SevenZipKillOwnerWindowEx");
    // A DLL without all three entry points is not the archiver we can drive: calling a
    // missing one would crash the program.
    if (sevenZip == 0 || setOwner == 0 || killOwner == 0) {
        dll_.free(module);
        return 0;
    }
    module_ = module;
    sevenZip_ = sevenZip;
    setOwnerWindowEx_ = setOwner;
    killOwnerWindowEx_ = killOwner;
    return 1;
}

std::string ArchiveLibrary::commandLine(const std::string& archivePath, const std::string& destination) {
    return "x -y \"" + archivePath + "\" -o\"" + destination + "\" -hide";
}

int ArchiveLibrary::Extract(const std::string& archivePath, const std::string& destination,
                            ArchiverDll::Progress keepGoing) {
    Load();
    system_.sleep(10);
    if (!loaded() || !files_.attributes(archivePath)) return 0;
    std::string command = commandLine(archivePath, destination);
    // The command line buffer holds 1023 characters; a longer one would name another file.
    if (command.size() >= commandLineBufferSize) return 0;
    dll_.setOwnerWindowEx(setOwnerWindowEx_, ownerWindow_, std::move(keepGoing));
    system_.sleep(100);
    std::string output;
    ArchiverCall call = dll_.sevenZip(sevenZip_, ownerWindow_, command, output, outputBufferSize);
    int result = call.raised ? raisedResult : call.result;
    dll_.killOwnerWindowEx(killOwnerWindowEx_, ownerWindow_);
    system_.sleep(10);
    return result == 0 ? 2 : 0;
}

void ArchiveLibrary::Unload() {
    if (module_ != 0) dll_.free(module_);
    module_ = 0;
    sevenZip_ = setOwnerWindowEx_ = killOwnerWindowEx_ = 0;
}

}  // namespace setup
