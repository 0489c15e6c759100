// platform_checks: runs the Windows platform's families against the system it runs on (Wine
// in the suite) and prints "ok - <check>" or "FAIL - <check>: <detail>" per check. Run it
// with scripted_archiver.dll beside it. Exit code 1 when a check failed.
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/win32/unicode.h"
#include "platform/win32/win32_platform.h"

namespace {

using namespace setup;

int failures = 0;

void check(const std::string& name, bool passed, const std::string& detail = {}) {
    std::printf("%s - %s%s\n", passed ? "ok" : "FAIL", name.c_str(), passed || detail.empty() ? "" : (": " + detail).c_str());
    std::fflush(stdout);
    if (!passed) ++failures;
}

std::string shown(const std::string& bytes) {
    std::string out;
    for (char c : bytes) out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
}

// Calls into a foreign DLL end by returning or by a fault; a fault must come back as
// `raised`, leave the thread usable, and not take over exceptions the DLL handles itself.
void archiverCalls(ArchiverDll& archiver, System& sys) {
    Handle module = archiver.load(sys.programFolderW() + "\\scripted_archiver.dll");
    check("archiver: LoadLibraryExW loads the DLL by its full path", module != 0);
    if (module == 0) return;
    EntryPoint sevenZip = archiver.find(module, "SevenZip");
    EntryPoint setOwner = archiver.find(module, "SevenZipSetOwnerWindowEx");
    EntryPoint killOwner = archiver.find(module, "SevenZipKillOwnerWindowEx");
    check("archiver: the three entry points are found by their plain names", sevenZip && setOwner && killOwner);
    check("archiver: a missing entry point is 0", archiver.find(module, "SevenZipNoSuchEntry") == 0);

    std::string output;
    for (const char* fault : {"fault", "divide", "fault"}) {
        ArchiverCall call = archiver.sevenZip(sevenZip, 0, fault, output, 16384);
        check(std::string("archiver: \"") + fault + "\" inside the DLL ends the call as raised", call.raised);
    }
    ArchiverCall handled = archiver.sevenZip(sevenZip, 0, "throw-inside", output, 16384);
    check("archiver: an exception the DLL handles itself is not taken as raised",
          !handled.raised && handled.result == 7, "raised " + std::to_string(handled.raised) + " result " +
                                                       std::to_string(handled.result));

    int progressCalls = 0;
    archiver.setOwnerWindowEx(setOwner, 0, [&] { return ++progressCalls > 0; });
    ArchiverCall normal = archiver.sevenZip(sevenZip, 0, "x -y", output, 16384);
    check("archiver: a call that returns gives its result and output",
          !normal.raised && normal.result == 0 && output == "ok:x -y", shown(output));
    check("archiver: the DLL reaches the registered progress", progressCalls == 1, std::to_string(progressCalls));
    archiver.setOwnerWindowEx(setOwner, 0, [] { return false; });
    check("archiver: a progress answer of stop reaches the DLL", archiver.sevenZip(sevenZip, 0, "x", output, 16384).result == 3);
    archiver.killOwnerWindowEx(killOwner, 0);

    archiver.sevenZip(sevenZip, 0, "a longer command", output, 6);
    check("archiver: output is cut to the size the DLL is told", output == "ok:a ", shown(output));
    archiver.free(module);
}

void files(FileSystem& fs) {
    CreateDirectoryA("checks", nullptr);
    {
        std::ofstream ini("checks\\list.cfg", std::ios::binary);
        ini << "[First]\r\nPrintName1=Alpha\r\nPrintName2=A name longer than ten\r\n[Second]\r\n[Third]\r\n";
    }
    std::string ini = fs.currentDirectory(260) + "\\checks\\list.cfg";
    std::string names = fs.profileSectionNames(ini, 64);
    check("files: section names come back as the whole zeroed buffer", names.size() == 64);
    check("files: section names in file order, each ended by NUL",
          names.compare(0, 20, std::string("First\0Second\0Third\0\0", 20)) == 0, shown(names.substr(0, 24)));
    check("files: a value is read", fs.profileString(ini, "First", "PrintName1", 128) == "Alpha");
    check("files: a missing key reads as empty", fs.profileString(ini, "First", "PrintName3", 128).empty());
    std::string cut = fs.profileString(ini, "First", "PrintName2", 11);
    check("files: a value is cut to the buffer size less one", cut == "A name lon", shown(cut));
    check("files: a missing file reads as no sections", fs.profileSectionNames("c:\\no\\such.cfg", 16)[0] == '\0');

    auto found = fs.findFiles("checks//*.*");
    bool listed = found && std::any_of(found->begin(), found->end(), [](const FoundFile& f) { return f.name == "list.cfg"; });
    check("files: a search with the //*.* pattern lists the folder", listed);
    check("files: a search in a missing folder fails", !fs.findFiles("c:\\no\\such//*.*"));
    check("files: attributes tell a folder", fs.attributes("checks").value_or(0) & fileAttributeDirectory);
    check("files: a missing path has no attributes", !fs.attributes("checks\\nothing"));
    check("files: a folder with a file cannot be removed", !fs.removeDirectory("checks"));
    check("files: the file is deleted", fs.deleteFile("checks//list.cfg"));
    check("files: the empty folder is removed", fs.removeDirectory("checks"));
    check("files: a current directory that does not fit reads as empty", fs.currentDirectory(3).empty());
}

void system(System& sys) {
    check("system: the title is the file name without folder and extension", sys.programTitle() == "platform_checks",
          sys.programTitle());
    auto extended = sys.versionEx(osVersionInfoExSize);
    auto plain = sys.versionEx(osVersionInfoSize);
    check("system: GetVersionExA answers the 156-byte record", extended.has_value());
    check("system: GetVersionExA answers the 148-byte record", plain.has_value());
    check("system: GetVersionExA refuses another record size", !sys.versionEx(100).has_value());
    check("system: IsWow64Process is found in kernel32", sys.isWow64Process().has_value());

    std::atomic<bool> ran{false};
    auto worker = sys.startThread([&] {
        Sleep(50);
        ran = true;
    });
    check("system: a started thread is not finished at once", worker && !worker->finished());
    while (worker && !worker->finished()) Sleep(5);
    check("system: the thread ran its body", ran.load());
}

void registry(Registry& reg) {
    // HKCU\Software\SetupChecks is made by the suite with one REG_SZ value "Port" = "COM1:".
    auto key = reg.openKey(RegistryRoot::CurrentUser, "Software\\SetupChecks", RegistryAccess::AllAccess);
    check("registry: a key opens", static_cast<bool>(key));
    if (!key) return;
    check("registry: a value is written", reg.setValue(*key, "Written", regSz, "USB001") == win_error::success);
    auto first = reg.enumValue(*key, 0, 64, 64);
    check("registry: a value is enumerated", first && first->type == regSz);
    auto small = reg.enumValue(*key, 0, 64, 2);
    check("registry: data that does not fit fails with more data", !small && small.error() == win_error::moreData,
          std::to_string(small.error()));
    auto end = reg.enumValue(*key, 2, 64, 64);
    check("registry: the end fails with no more items", !end && end.error() == win_error::noMoreItems,
          std::to_string(end.error()));
    reg.closeKey(*key);
    auto missing = reg.openKey(RegistryRoot::LocalMachine, "Software\\No\\Such\\Key", RegistryAccess::Read);
    check("registry: a missing key fails with file not found", !missing && missing.error() == win_error::fileNotFound);
}

void spoolerAndServices(Spooler& spooler, ServiceControl& services) {
    auto ports = spooler.enumPorts();
    auto has = [&](const char* name) {
        return ports && std::any_of(ports->begin(), ports->end(), [&](const PortInfo& p) { return p.name == name; });
    };
    check("spooler: EnumPortsA lists COM1: and LPT1:", has("COM1:") && has("LPT1:"));
    auto manager = services.openManager();
    check("services: the service manager opens", static_cast<bool>(manager));
    if (!manager) return;
    auto spoolerService = services.openService(*manager, "Spooler");
    check("services: the Spooler service opens", static_cast<bool>(spoolerService));
    if (spoolerService) {
        check("services: its status is read", static_cast<bool>(services.queryStatus(*spoolerService)));
        services.close(*spoolerService);
    }
    auto none = services.openService(*manager, "NoSuchService");
    check("services: a missing service fails as such", !none && none.error() == win_error::serviceDoesNotExist);
    services.close(*manager);
}

// The port operations the TCP/IP port dialog uses. Wine has no "Standard TCP/IP Port" monitor,
// so adding such a port fails without showing anything.
void spoolerPorts(Spooler& spooler) {
    SpoolerCall added = spooler.addPort(0, "Standard TCP/IP Port");
    check("spooler: AddPortA for a monitor the spooler lacks fails with 50",
          !added.ok && added.error == win_error::notSupported, std::to_string(added.error));
    SpoolerCall deleted = spooler.deletePort(0, "NOSUCHPORT:");
    check("spooler: DeletePortA of a missing port fails with 50",
          !deleted.ok && deleted.error == win_error::notSupported, std::to_string(deleted.error));
}

// Names the ANSI code page cannot spell, paths past MAX_PATH and read-only files, through the
// wide-character operations the package's clean-up uses.
void unicodeFiles(FileSystem& fs, System& sys) {
    const std::string folder = sys.programFolderW() + "\\\xD0\x9F\xD0\xB0\xD0\xBA\xD0\xB5\xD1\x82";  // Cyrillic
    CreateDirectoryW(win32::widePath(folder).c_str(), nullptr);
    check("unicode: a Cyrillic folder has attributes", fs.attributesW(folder).value_or(0) & fileAttributeDirectory);
    if (GetACP() == 1252)
        check("unicode: the Western code page cannot spell it", !fs.ansiSpelling(folder).has_value());
    check("unicode: an ASCII path is spelled as it is", fs.ansiSpelling("C:\\Ticket") == std::string("C:\\Ticket"));
    std::string shortPath = fs.shortPathW(folder);
    check("unicode: its short form is spelled by the code page", !shortPath.empty() && fs.ansiSpelling(shortPath),
          shortPath);
    SetCurrentDirectoryW(win32::widePath(folder).c_str());
    check("unicode: the current directory reads back wide", fs.currentDirectoryW() == folder, fs.currentDirectoryW());
    SetCurrentDirectoryW(win32::widePath(sys.programFolderW()).c_str());

    std::string deep = folder;
    for (int i = 0; i < 12; ++i) {
        deep += "\\a-folder-with-a-rather-long-name-" + std::to_string(i);
        CreateDirectoryW(win32::widePath(deep).c_str(), nullptr);
    }
    const std::string file = deep + "\\driver.gpd";
    HANDLE created = CreateFileW(win32::widePath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_READONLY, nullptr);
    if (created != INVALID_HANDLE_VALUE) CloseHandle(created);
    auto attributes = fs.attributesW(file);
    check("unicode: a read-only file past MAX_PATH has attributes", attributes && (*attributes & fileAttributeReadOnly),
          std::to_string(file.size()) + " characters");
    Result<std::vector<FoundFile>> deepEntries = fs.folderEntriesW(deep);
    check("unicode: a folder past MAX_PATH lists its read-only file",
          deepEntries && deepEntries->size() == 1 && deepEntries->front().name == "driver.gpd" &&
              (deepEntries->front().attributes & fileAttributeReadOnly));
    check("unicode: a read-only file is not deleted", !fs.deleteFileW(file));
    check("unicode: read-only is cleared", attributes && fs.setAttributesW(file, *attributes & ~fileAttributeReadOnly));
    check("unicode: then the file is deleted", fs.deleteFileW(file));
    bool removed = true;
    for (std::string path = deep; path.size() >= folder.size(); path = path.substr(0, path.rfind('\\')))
        removed = fs.removeDirectoryW(path) && removed;
    check("unicode: the long folders are removed", removed && !fs.attributesW(folder));
}

// The package held open from its listing to the end of its extraction: nobody can change,
// replace or delete it meanwhile, and the archiver can still read it.
void heldArchive(FileSystem& fs, System& sys) {
    const std::string path = sys.programFolderW() + "\\held.Drv";
    const std::wstring wide = win32::widePath(path);
    HANDLE made = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made != INVALID_HANDLE_VALUE) CloseHandle(made);
    auto held = fs.openReadOnlyLockedW(path);
    check("files: the package opens held", static_cast<bool>(held));
    if (!held) return;
    HANDLE writer = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    check("files: a held package cannot be opened for writing", writer == INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    check("files: a held package cannot be replaced",
          !MoveFileExW(win32::widePath(sys.programFolderW() + "\\platform_checks.exe").c_str(), wide.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    check("files: a held package cannot be renamed",
          !MoveFileW(wide.c_str(), win32::widePath(sys.programFolderW() + "\\renamed.Drv").c_str()));
    check("files: a held package cannot be deleted", !DeleteFileW(wide.c_str()));
    HANDLE reader = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    check("files: the archiver can still read a held package", reader != INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    fs.closeFile(*held);
    check("files: once let go the package can be deleted", DeleteFileW(wide.c_str()) != FALSE);
}

// The installer's lock and the DLL search, process-wide: run last.
void lockAndDllSearch(System& sys) {
    const std::string name = "Global\\PlatformChecks.Lock";
    auto first = sys.createNamedMutex(name);
    auto second = sys.createNamedMutex(name);
    check("system: a new mutex name is free", first && !first->alreadyExisted);
    check("system: the name is taken while a handle is open", second && second->alreadyExisted);
    if (first) sys.closeMutex(first->handle);
    if (second) sys.closeMutex(second->handle);
    auto third = sys.createNamedMutex(name);
    check("system: the name is free again once every handle is closed", third && !third->alreadyExisted);
    if (third) sys.closeMutex(third->handle);

    const std::wstring current = win32::widePath(sys.programFolderW() + "\\current");
    CreateDirectoryW(current.c_str(), nullptr);
    CopyFileW(win32::widePath(sys.programFolderW() + "\\scripted_archiver.dll").c_str(),
              (current + L"\\planted_copy.dll").c_str(), FALSE);
    SetCurrentDirectoryW(current.c_str());
    HMODULE before = LoadLibraryW(L"planted_copy.dll");
    check("system: without the restriction a DLL in the current folder loads", before != nullptr);
    if (before) FreeLibrary(before);
    sys.restrictDllSearch();
    HMODULE after = LoadLibraryW(L"planted_copy.dll");
    check("system: once restricted the current folder is not searched", after == nullptr);
    if (after) FreeLibrary(after);
    check("system: the system folder is known", !sys.systemFolderW().empty(), sys.systemFolderW());
}

// The access list a file or folder has, as SDDL: its DACL with its protection flag; empty
// when it cannot be read.
std::string daclOf(const std::string& path) {
    std::wstring wide = win32::widePath(path);
    DWORD needed = 0;
    GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0) return {};
    std::string buffer(needed, '\0');
    if (!GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, buffer.data(), needed, &needed)) return {};
    LPWSTR sddl = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(buffer.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &sddl, nullptr))
        return {};
    std::string text = win32::utf8FromWide(sddl);
    LocalFree(sddl);
    return text;
}

const char* const protectedSddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;WD)";

// Whether the system keeps an access list set on a folder: Wine may make one up from the
// Unix file modes instead. Says what it read back.
bool keepsAccessLists(std::string& readBack) {
    CreateDirectoryW(L"dacl-kept", nullptr);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(protectedSddl, SDDL_REVISION_1, &descriptor, nullptr);
    SetFileSecurityW(L"dacl-kept", DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    readBack = daclOf("dacl-kept");
    RemoveDirectoryW(L"dacl-kept");
    return readBack == protectedSddl;
}

// Reading a whole file, and a folder made with an access list that is read back.
void wholeFilesAndFolders(FileSystem& fs, System& sys) {
    const std::string folder = sys.programFolderW() + "\\made";
    std::uint32_t made = fs.createFolderW(folder, protectedSddl);
    check("files: a folder is made with an access list", made == 0, std::to_string(made));
    std::uint32_t again = fs.createFolderW(folder, protectedSddl);
    check("files: a folder that is there already is refused with 183", again == 183, std::to_string(again));
    check("files: an SDDL text that does not parse is refused", fs.createFolderW(folder + "2", "D:(bad") != 0);
    std::string readBack = daclOf(folder), control;
    if (keepsAccessLists(control))
        check("files: the made folder's access list is the protected one", readBack == protectedSddl, readBack);
    else
        std::printf("note - this system keeps no access lists: one set on a folder reads back as \"%s\", the made "
                    "folder's as \"%s\"\n", control.c_str(), readBack.c_str());

    std::string bytes("a\0b\xff", 4);
    bytes += std::string(200000, 'x');
    {
        std::ofstream out(folder + "\\whole.bin", std::ios::binary);
        out << bytes;
    }
    Result<std::string> read = fs.readFileW(folder + "\\whole.bin");
    check("files: a whole file is read, NUL and high bytes too", read && *read == bytes);
    Result<std::string> missing = fs.readFileW(folder + "\\none.bin");
    check("files: a missing file reads as error 2", !missing && missing.error() == 2);

    const std::string unicodeName = "\xD0\xA1\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBA\xD0\xB0";  // Cyrillic
    fs.createFolderW(folder + "\\" + unicodeName, protectedSddl);
    Result<std::vector<FoundFile>> entries = fs.folderEntriesW(folder);
    std::string listed;
    bool kindsRight = entries && entries->size() == 2;
    if (entries)
        for (const FoundFile& entry : *entries) {
            listed += entry.name + " ";
            const bool folderEntry = (entry.attributes & fileAttributeDirectory) != 0;
            kindsRight = kindsRight && (entry.name == unicodeName ? folderEntry : entry.name == "whole.bin" && !folderEntry);
        }
    check("files: a folder's entries come with their Unicode names and kinds, without . and ..", kindsRight, listed);
    Result<std::vector<FoundFile>> none = fs.folderEntriesW(folder + "\\none");
    check("files: the entries of a missing folder are an error", !none, none ? "listed" : std::to_string(none.error()));
    fs.removeDirectoryW(folder + "\\" + unicodeName);
    fs.deleteFileW(folder + "\\whole.bin");
    fs.removeDirectoryW(folder);
}

}  // namespace

int main(int argc, char** argv) {
    // "platform_checks dacl <path>": prints the access list of that path and ends;
    // "platform_checks dacl-kept": prints whether the system keeps access lists at all.
    if (argc == 3 && std::string(argv[1]) == "dacl") {
        std::printf("%s\n", daclOf(argv[2]).c_str());
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "dacl-kept") {
        std::string readBack;
        std::printf("%s\n", keepsAccessLists(readBack) ? "kept" : ("not kept: " + readBack).c_str());
        return 0;
    }
    win32::Win32Platform windows;
    Platform platform = windows.platform();
    archiverCalls(platform.archiver, platform.system);
    files(platform.files);
    system(platform.system);
    registry(platform.registry);
    spoolerAndServices(platform.spooler, platform.services);
    spoolerPorts(platform.spooler);
    unicodeFiles(platform.files, platform.system);
    heldArchive(platform.files, platform.system);
    wholeFilesAndFolders(platform.files, platform.system);
    lockAndDllSearch(platform.system);
    return failures == 0 ? 0 : 1;
}
