#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_serial_ports.h"

namespace setup::sim {

// A service of the simulated service control manager.
struct SimService {
    ServiceState state = ServiceState::Stopped;
    int queriesToStart = 0;   // status queries that still say "start pending" after a start
    int queriesToStop = 0;    // ... "stop pending" after a stop
    bool canStart = true;     // false: a start leaves it stopped (stuck in start pending)
    // The error the manager refuses a start or a stop with (1058 for a disabled service,
    // 1053 for one that did not answer in time); 0: it takes the request.
    std::uint32_t startRefusal = 0;
    std::uint32_t stopRefusal = 0;
};

// How the simulated archiver DLL behaves.
enum class ArchiverBehaviour { Unpack, Fail, Raise };

// Thrown through the program where the machine's process is killed: nothing of the program
// runs after it, no clean-up included.
struct ProcessKilled {};

// A simulated Windows machine: everything the program can reach through the platform seam,
// modelled as Windows does it and recorded in a call log that tests read.
class SimWindows : public ServiceControl, public Spooler, public Registry, public FileSystem, public System,
                   public ArchiverDll {
public:
    // The machine's drives live below hostRoot: drive C is hostRoot/c.
    explicit SimWindows(std::filesystem::path hostRoot);

    Platform platform() { return Platform{*this, *this, *this, *this, *this, *this, serial}; }

    // --- the machine, as tests describe it ------------------------------------------------
    std::map<std::string, SimService> services;  // by name as registered
    bool administrator = true;                   // false: the service manager does not open
    bool serviceQueryFails = false;
    // The system's text for an error code (FormatMessageA), by code.
    std::map<std::uint32_t, std::string> systemTexts;

    std::vector<PortInfo> ports;
    bool enumPortsFails = false;
    // The port monitors' own dialogs (sim_spooler_ports.cpp). The monitors AddPortA knows;
    // the user's answers to their add-port dialogs in order: a name completes one (the new
    // port is listed last), nothing cancels it, and with no answer left the user cancels.
    std::set<std::string> portMonitors{"Local Port", "Standard TCP/IP Port"};
    std::deque<std::optional<std::string>> addPortAnswers;
    // The error ConfigurePortA or DeletePortA fails with, by port; other ports succeed.
    std::map<std::string, std::uint32_t> configurePortErrors;
    std::map<std::string, std::uint32_t> deletePortErrors;

    // The spooler's registrations, in the order they were made.
    std::vector<DriverRecord> drivers;
    std::vector<MonitorRecord> monitors;
    std::vector<PrinterRecord> printers;
    // Ports a printer is attached to: a restarted spooler reports the printer on such a
    // port online.
    std::set<std::string> attachedDevices;
    // Calls that fail with the given error, by the name the log gives them
    // ("AddPrinterDriverEx", "AddPrinter", "RegSetValueEx", "CopyFile" ...); a call whose
    // log entry carries an argument fails only when the map names "Call argument".
    std::map<std::string, std::uint32_t> failingCalls;
    // How many times a call named in failingCalls still succeeds before it fails.
    std::map<std::string, int> callsBeforeFailing;
    // Files whose bytes are one of these are no DLL the spooler can load.
    std::set<std::string> unloadableDllContents;
    bool privilegeEnabled = false;
    std::string systemDir = "C:\\Windows\\system32";
    std::string windowsDir = "C:\\Windows";
    // The spooler's driver folder of each environment it knows.
    std::map<std::string, std::string> driverDirectories{
        {"Windows NT x86", "C:\\Windows\\system32\\spool\\drivers\\w32x86"},
        {"Windows x64", "C:\\Windows\\system32\\spool\\drivers\\x64"}};
    // The registry key of a printer below HKLM, as the spooler keeps it.
    static std::string printerKey(const std::string& printer);

    std::optional<OsVersion> version = OsVersion{6, 1, 7601, 2};
    bool versionExAcceptsExRecord = true;  // false: only the plain record is understood
    std::optional<bool> wow64 = true;      // nothing: kernel32 lacks IsWow64Process
    bool program64Bit = false;             // the program is a 64-bit one (never a WOW64 process)
    std::optional<bool> localSystem = false;  // the process's account is SYSTEM; nothing: no token
    std::string title = "multisetup";
    // The local time; each reading moves it on by a millisecond.
    LocalTime clock{2026, 12, 8, 9, 30, 0, 0};

    std::string currentDir = "C:\\Program";
    std::set<std::string> readOnlyFiles;  // Windows paths, compared without case
    // The security descriptor (SDDL) each folder was created with through createFolderW, by
    // the folder's Windows path in lower case.
    std::map<std::string, std::string> folderSecurity;

    bool archiverPresent = true;
    std::string archiverMissingEntry;  // an entry point the DLL does not export
    ArchiverBehaviour archiverBehaviour = ArchiverBehaviour::Unpack;
    int archiverFailure = 1;
    std::map<std::string, std::string> archiveTree;  // relative Windows path -> content; "x\\" ends a folder
    unsigned archiverMsPerFile = 0;                  // real time each file takes

    // --- the driver package's places, the DLL search, the installer's lock -------------------
    // The ANSI code page of this machine spells ASCII only: other characters come back from
    // the *A calls as '?', and *A calls take paths below MAX_PATH only.
    std::string programFolder = "C:\\Program";
    std::string systemFolder = "C:\\Windows\\system32";
    std::vector<std::string> archiverDllFolders = {"C:\\Program"};  // where a 7-zip32.dll lies
    bool dllSearchRestricted = false;                                 // SetDllDirectoryW(L"") was called
    std::multiset<std::string> namedMutexes;  // one name per open handle, of any process
    std::set<std::string> archiveReadOnlyEntries;  // entries of archiveTree unpacked read-only
    // With ArchiverBehaviour::Fail or Raise: how many entries are written before it fails.
    std::size_t archiverWritesBeforeFailing = 0;
    int archiverListFailure = 0;  // non-zero: SevenZipListW fails with it
    // The process is killed while the archiver writes the entry after this many: that entry
    // stays half-written under the archiver's temporary name.
    std::optional<std::size_t> archiverKilledAfterWrites;
    // The process is killed at the first call whose log entry starts with this, before the
    // call does anything.
    std::string killedAtCall;
    // Gives an existing file or folder an 8.3 name (8.3 names are off for everything else).
    void setShortName(const std::string& windowsPath, const std::string& shortName);

    // Adds a serial port to the serial device map and to the spooler.
    void addSerialPort(const std::string& device, const std::string& com);
    void setRegistryValue(RegistryRoot root, const std::string& path, const std::string& name,
                          std::uint32_t type, const std::string& data);
    std::optional<std::string> registryValue(RegistryRoot root, const std::string& path, const std::string& name);
    void removeRegistryKey(RegistryRoot root, const std::string& path);
    bool registryKeyExists(RegistryRoot root, const std::string& path) const;

    // Host path of a Windows path, resolving each component without regard to case.
    std::filesystem::path hostPath(const std::string& windowsPath) const;
    bool exists(const std::string& windowsPath) const;
    void writeFile(const std::string& windowsPath, const std::string& content);

    // The serial ports and the devices on them.
    SimSerialPorts serial;

    // --- what happened -----------------------------------------------------------------------
    std::vector<std::string> log() const;
    std::vector<std::string> logMatching(const std::string& prefix) const;
    unsigned sleptMs() const;
    int openHandles() const;  // not counting named mutexes
    // Threads started with startThread that have not been joined yet.
    int liveThreads() const { return liveThreads_.load(); }

    // --- ServiceControl ---------------------------------------------------------------------
    Result<Handle> openManager() override;
    Result<Handle> openService(Handle manager, const std::string& name) override;
    Result<ServiceState> queryStatus(Handle service) override;
    std::uint32_t start(Handle service) override;
    std::uint32_t stop(Handle service) override;
    void close(Handle handle) override;
    // --- Spooler ----------------------------------------------------------------------------
    Result<std::vector<PortInfo>> enumPorts() override;
    Result<std::string> printerDriverDirectory(const std::string& environment, std::uint32_t bufferSize) override;
    SpoolerCall addPrinterDriverEx(const DriverRecord& driver, std::uint32_t flags) override;
    Result<std::vector<DriverRecord>> enumPrinterDrivers(const std::string& environment) override;
    SpoolerCall deletePrinterDriverEx(const std::string& environment, const std::string& driverName,
                                      std::uint32_t flags) override;
    SpoolerCall deleteMonitor(const std::string& environment, const std::string& name) override;
    SpoolerCall addMonitor(const MonitorRecord& monitor) override;
    Result<Handle> openPrinter(const std::string& name, const std::string& datatype, std::uint32_t access) override;
    SpoolerCall setPrinterCommand(Handle printer, std::uint32_t command) override;
    Result<PrinterRecord> getPrinter(Handle printer) override;
    SpoolerCall deletePrinter(Handle printer) override;
    void closePrinter(Handle printer) override;
    Result<Handle> addPrinter(const PrinterRecord& printer) override;
    Result<std::vector<PrinterRecord>> enumPrinters(std::uint32_t flags) override;
    SpoolerCall addPort(Handle parent, const std::string& monitor) override;
    SpoolerCall configurePort(Handle parent, const std::string& port) override;
    SpoolerCall deletePort(Handle parent, const std::string& port) override;
    // --- Registry ---------------------------------------------------------------------------
    Result<Handle> openKey(RegistryRoot root, const std::string& path, RegistryAccess access) override;
    Result<RegistryValue> enumValue(Handle key, std::uint32_t index, std::uint32_t nameCapacity,
                                    std::uint32_t dataCapacity) override;
    std::uint32_t setValue(Handle key, const std::string& name, std::uint32_t type, const std::string& data) override;
    Result<Handle> createKey(RegistryRoot root, const std::string& path) override;
    Result<std::string> queryValue(Handle key, const std::string& name, std::uint32_t bufferSize) override;
    void closeKey(Handle key) override;
    Result<Handle> openKey64(RegistryRoot root, const std::string& path, RegistryAccess access) override;
    Result<Handle> createKey64(RegistryRoot root, const std::string& path) override;
    std::uint32_t deleteKey64(RegistryRoot root, const std::string& path) override;
    // --- FileSystem -------------------------------------------------------------------------
    std::string currentDirectory(std::uint32_t bufferSize) override;
    std::optional<std::uint32_t> attributes(const std::string& path) override;
    Result<std::vector<FoundFile>> findFiles(const std::string& pattern) override;
    bool deleteFile(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool moveFile(const std::string& from, const std::string& to, bool replaceExisting) override;
    std::string systemDirectory(std::uint32_t bufferSize) override;
    std::string windowsDirectory(std::uint32_t bufferSize) override;
    std::string profileSectionNames(const std::string& file, std::uint32_t bufferSize) override;
    std::string profileString(const std::string& file, const std::string& section, const std::string& key,
                              std::uint32_t bufferSize) override;
    // --- System -----------------------------------------------------------------------------
    std::optional<OsVersion> versionEx(std::uint32_t recordSize) override;
    std::optional<bool> isWow64Process() override;
    bool programIs64Bit() override { return program64Bit; }
    std::optional<bool> runsAsLocalSystem() override;
    bool enablePrivilege(const std::string& name) override;
    void sleep(std::uint32_t milliseconds) override;
    std::string systemMessage(std::uint32_t error) override;
    std::string programTitle() override;
    std::unique_ptr<WorkerThread> startThread(std::function<void()> body) override;
    // --- ArchiverDll ------------------------------------------------------------------------
    Handle load(const std::string& fileName) override;
    void free(Handle module) override;
    EntryPoint find(Handle module, const std::string& name) override;
    ArchiverCall sevenZip(EntryPoint entry, Handle window, const std::string& commandLine, std::string& output,
                          std::uint32_t outputSize) override;
    bool setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) override;
    bool killOwnerWindowEx(EntryPoint entry, Handle window) override;
    ArchiverListing listEntries(EntryPoint entry, const std::string& archivePath, std::uint32_t outputSize) override;
    // --- FileSystem: Unicode paths ----------------------------------------------------------
    std::string currentDirectoryW() override;
    std::optional<std::uint32_t> attributesW(const std::string& path) override;
    bool setAttributesW(const std::string& path, std::uint32_t attributes) override;
    bool deleteFileW(const std::string& path) override;
    bool removeDirectoryW(const std::string& path) override;
    std::string shortPathW(const std::string& path) override;
    std::optional<std::string> ansiSpelling(const std::string& text) override;
    Result<Handle> openReadOnlyLockedW(const std::string& path) override;
    void closeFile(Handle file) override;
    // The ANSI code page of this machine is Latin-1.
    std::string unicodeSpelling(const std::string& ansi) override;
    bool appendFileW(const std::string& path, const std::string& bytes) override;  // "AppendFile path" fails
    Result<std::string> readFileW(const std::string& path) override;
    Result<std::vector<FoundFile>> folderEntriesW(const std::string& folder) override;
    std::uint32_t createFolderW(const std::string& path, const std::string& sddl) override;
    // --- System: DLL search and the installer's lock ----------------------------------------
    std::string programFolderW() override;
    std::string systemFolderW() override;
    void restrictDllSearch() override;
    Result<NamedMutex> createNamedMutex(const std::string& name) override;
    void closeMutex(Handle mutex) override;
    LocalTime localTime() override;

private:
    struct OpenObject {
        enum Kind { Manager, Service, Key, Module, Printer, Mutex, File } kind;
        std::string name;  // service name, registry key path, printer name or file path
    };
    struct RegistryKey {
        std::vector<RegistryValue> values;
    };

    void record(const std::string& entry);
    // The error a call is made to fail with; 0 when it runs as Windows would.
    std::uint32_t injectedFailure(const std::string& call, const std::string& argument = {});
    // What the spooler does when its service has started.
    void spoolerStarted();
    void storePrinterKeys(const std::string& printer, const std::string& port);
    bool fileExists(const std::string& windowsPath) const;
    Handle openObject(OpenObject object);
    const OpenObject* object(Handle handle, OpenObject::Kind kind) const;
    // The key a path names in the machine's (64-bit) registry; a 32-bit program's own view
    // of it (programView) sees SOFTWARE\WOW6432Node in place of most of HKLM\SOFTWARE.
    std::string registryKeyName(RegistryRoot root, const std::string& path, bool programView = false) const;
    Result<Handle> openKeyNamed(const std::string& name, const std::string& call, const std::string& path);
    Result<Handle> createKeyNamed(const std::string& name, const std::string& call, const std::string& path);
    void storeValue(const std::string& keyName, RegistryValue value);
    std::filesystem::path resolve(const std::string& windowsPath, bool forCreation) const;
    ArchiverCall extractTo(const std::string& destination, Progress& progress, std::string& output);
    bool readOnly(const std::string& windowsPath) const;
    void setReadOnly(const std::string& windowsPath, bool readOnly);
    std::optional<std::uint32_t> attributesOf(const std::string& path) const;
    bool deleteOne(const std::string& path);
    bool removeOne(const std::string& path);

    std::filesystem::path hostRoot_;
    mutable std::recursive_mutex lock_;
    std::vector<std::string> log_;
    unsigned sleptMs_ = 0;
    Handle nextHandle_ = 0x100;
    std::map<Handle, OpenObject> open_;
    std::map<std::string, RegistryKey> registry_;  // by lower-case full key name
    Progress progress_;
    std::map<std::filesystem::path, std::string> shortNames_;  // host path -> 8.3 name
    std::atomic<int> liveThreads_{0};
};

}  // namespace setup::sim
