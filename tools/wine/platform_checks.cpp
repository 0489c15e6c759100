// platform_checks: runs the Windows platform's families against the system it runs on (Wine
// in the suite) and prints "ok - <check>" or "FAIL - <check>: <detail>" per check. Run it
// with scripted_archiver.dll beside it. Exit code 1 when a check failed.
#include <windows.h>
#include <sddl.h>
#include <aclapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/win32/unicode.h"
#include "platform/win32/win32_platform.h"
#include "tests/platform/seam_checks.h"

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

// The seam's shared checks, the same table the simulated Windows runs natively; each in a
// folder of its own beside the program.
void seamTable(Platform& platform) {
    using seam_checks::Verdict;
    int index = 0;
    for (const seam_checks::Check& c : seam_checks::checks()) {
        const std::string folder = platform.system.programFolderW() + "\\seam-" + std::to_string(++index);
        CreateDirectoryW(win32::widePath(folder).c_str(), nullptr);
        const seam_checks::Outcome outcome = c.run(platform, folder);
        switch (seam_checks::verdictOf(c, seam_checks::Target::Wine, outcome)) {
            case Verdict::Passed: check(c.name, true); break;
            case Verdict::Failed: check(c.name, false, outcome.detail); break;
            case Verdict::KnownGap: std::printf("note - known Wine gap: %s: %s\n", c.name, c.wineGap); break;
            case Verdict::GapClosed: check(std::string(c.name) + " passes: its Wine gap mark must go", false); break;
        }
    }
}

void files(FileSystem& fs) {
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
    reg.closeKey(*key);
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

// What a removal reads of a driver beyond the seam's shared checks, measured on this spooler
// and printed as notes (Windows' answers in brackets): whether a language monitor it lacks is
// refused, the monitor name read back, and a deletion without flags. The driver goes again.
void spoolerRemovalNotes(Spooler& spooler, System& sys) {
    const std::string environment = sizeof(void*) == 8 ? "Windows x64" : "Windows NT x86";
    const std::string folder = sys.programFolderW();
    DriverRecord driver;
    driver.version = 3;
    driver.name = "Removal Probe";
    driver.environment = environment;
    driver.driverPath = folder + "\\scripted_archiver.dll";
    driver.dataFile = folder + "\\platform_checks.exe";
    driver.configFile = folder + "\\scripted_archiver.dll";
    driver.dependentFiles = std::string(1, '\0');
    driver.monitorName = "Probe Language Monitor";
    SpoolerCall added = spooler.addPrinterDriverEx(driver, apdCopyNewFiles);
    std::printf("note - spooler: AddPrinterDriverExA naming a language monitor the spooler lacks: %s [Windows: error "
                "3000]\n", added.ok ? "TRUE" : ("error " + std::to_string(added.error)).c_str());
    if (!added.ok) return;
    Result<std::vector<DriverRecord>> drivers = spooler.enumPrinterDrivers(environment);
    for (const DriverRecord& listed : drivers ? *drivers : std::vector<DriverRecord>{})
        if (listed.name == driver.name)
            std::printf("note - spooler: EnumPrinterDriversA level 3 reads the monitor name back as \"%s\"\n",
                        listed.monitorName.c_str());
    SpoolerCall plain = spooler.deletePrinterDriverEx(environment, driver.name, 0);
    std::printf("note - spooler: DeletePrinterDriverExA without flags: %s\n",
                plain.ok ? "TRUE" : ("error " + std::to_string(plain.error)).c_str());
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

// The DLL search, process-wide: run last.
void dllSearch(System& sys) {
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

// Gives a key of the current user the access list an SDDL text describes; prints 0 or the
// error. A key only readable makes the programs' writes into it fail as on a locked profile.
int setKeyAccessList(const std::string& path, const std::string& sddl) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC | READ_CONTROL, &key);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (error == ERROR_SUCCESS &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        error = static_cast<LONG>(GetLastError());
    if (error == ERROR_SUCCESS) {
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
        error = static_cast<LONG>(SetSecurityInfo(key, SE_REGISTRY_KEY,
                                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                                  nullptr, nullptr, dacl, nullptr));
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    if (key != nullptr) RegCloseKey(key);
    std::printf("%ld\n", error);
    return error == ERROR_SUCCESS ? 0 : 1;
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

// A folder made with an access list, read back where the system keeps access lists.
void protectedFolder(FileSystem& fs, System& sys) {
    const std::string folder = sys.programFolderW() + "\\made";
    std::uint32_t made = fs.createFolderW(folder, protectedSddl);
    check("files: a folder is made with an access list", made == 0, std::to_string(made));
    std::string readBack = daclOf(folder), control;
    if (keepsAccessLists(control))
        check("files: the made folder's access list is the protected one", readBack == protectedSddl, readBack);
    else
        std::printf("note - this system keeps no access lists: one set on a folder reads back as \"%s\", the made "
                    "folder's as \"%s\"\n", control.c_str(), readBack.c_str());

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
    // "platform_checks key-dacl <key below HKCU> <SDDL>": sets that key's access list.
    if (argc == 4 && std::string(argv[1]) == "key-dacl") return setKeyAccessList(argv[2], argv[3]);
    if (argc == 2 && std::string(argv[1]) == "dacl-kept") {
        std::string readBack;
        std::printf("%s\n", keepsAccessLists(readBack) ? "kept" : ("not kept: " + readBack).c_str());
        return 0;
    }
    win32::Win32Platform windows;
    Platform platform = windows.platform();
    archiverCalls(platform.archiver, platform.system);
    seamTable(platform);
    files(platform.files);
    system(platform.system);
    registry(platform.registry);
    spoolerAndServices(platform.spooler, platform.services);
    spoolerPorts(platform.spooler);
    spoolerRemovalNotes(platform.spooler, platform.system);
    unicodeFiles(platform.files, platform.system);
    heldArchive(platform.files, platform.system);
    protectedFolder(platform.files, platform.system);
    dllSearch(platform.system);
    return failures == 0 ? 0 : 1;
}
