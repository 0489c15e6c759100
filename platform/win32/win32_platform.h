#pragma once

#include "platform/platform.h"

namespace setup::win32 {

// The seam's families on the real Windows API. Each operation is the named *A call plus the
// conversion between its buffers and the seam's types; what the program makes of a result
// is the core's business.

class Win32ServiceControl : public ServiceControl {
public:
    Result<Handle> openManager() override;
    Result<Handle> openService(Handle manager, const std::string& name) override;
    Result<ServiceState> queryStatus(Handle service) override;
    std::uint32_t start(Handle service) override;
    std::uint32_t stop(Handle service) override;
    void close(Handle handle) override;
};

class Win32Spooler : public Spooler {
public:
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
};

class Win32Registry : public Registry {
public:
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
};

class Win32FileSystem : public FileSystem {
public:
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
    std::string currentDirectoryW() override;
    std::optional<std::uint32_t> attributesW(const std::string& path) override;
    bool setAttributesW(const std::string& path, std::uint32_t attributes) override;
    bool deleteFileW(const std::string& path) override;
    bool removeDirectoryW(const std::string& path) override;
    std::string shortPathW(const std::string& path) override;
    std::optional<std::string> ansiSpelling(const std::string& text) override;
    Result<Handle> openReadOnlyLockedW(const std::string& path) override;
    void closeFile(Handle file) override;
    std::string unicodeSpelling(const std::string& ansi) override;
    bool appendFileW(const std::string& path, const std::string& bytes) override;
    Result<std::string> readFileW(const std::string& path) override;
    Result<std::vector<FoundFile>> folderEntriesW(const std::string& folder) override;
    std::uint32_t createFolderW(const std::string& path, const std::string& sddl) override;
};

class Win32System : public System {
public:
    std::optional<OsVersion> versionEx(std::uint32_t recordSize) override;
    std::optional<bool> isWow64Process() override;
    bool programIs64Bit() override;
    std::optional<bool> runsAsLocalSystem() override;
    bool enablePrivilege(const std::string& name) override;
    void sleep(std::uint32_t milliseconds) override;
    std::string systemMessage(std::uint32_t error) override;
    std::string programTitle() override;
    std::unique_ptr<WorkerThread> startThread(std::function<void()> body) override;
    std::string programFolderW() override;
    std::string systemFolderW() override;
    void restrictDllSearch() override;
    Result<NamedMutex> createNamedMutex(const std::string& name) override;
    void closeMutex(Handle mutex) override;
    LocalTime localTime() override;
};

class Win32ArchiverDll : public ArchiverDll {
public:
    Handle load(const std::string& path) override;
    void free(Handle module) override;
    EntryPoint find(Handle module, const std::string& name) override;
    ArchiverCall sevenZip(EntryPoint entry, Handle window, const std::string& commandLine, std::string& output,
                          std::uint32_t outputSize) override;
    bool setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) override;
    bool killOwnerWindowEx(EntryPoint entry, Handle window) override;
    ArchiverListing listEntries(EntryPoint entry, const std::string& archivePath, std::uint32_t outputSize) override;
};

class Win32SerialPorts : public SerialPorts {
public:
    Handle createEvent() override;
    void setEvent(Handle event) override;
    void resetEvent(Handle event) override;
    bool closeEvent(Handle event) override;
    int waitAny(const std::vector<Handle>& events, std::uint32_t timeoutMs) override;
    Result<Handle> openPort(const std::string& deviceName, Handle lineEvent) override;
    void closePort(Handle port) override;
    bool setupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setTimeouts(Handle port, const CommTimeouts& timeouts) override;
    bool setMask(Handle port, std::uint32_t mask) override;
    Result<std::uint32_t> mask(Handle port) override;
    bool configure(Handle port, char eventCharacter, const std::string& definition) override;
    bool purge(Handle port, std::uint32_t flags) override;
    Result<CommStatus> clearError(Handle port) override;
    Result<std::uint32_t> waitEvent(Handle port) override;
    Result<std::uint32_t> eventWaitResult(Handle port) override;
    Result<std::vector<std::uint8_t>> read(Handle port, std::uint32_t count) override;
    Result<std::vector<std::uint8_t>> readResult(Handle port) override;
    Result<std::uint32_t> write(Handle port, const std::vector<std::uint8_t>& bytes) override;
    Result<std::uint32_t> writeResult(Handle port) override;
    void errorBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
};

// All families of the running Windows, for an entry point to hand to the core.
class Win32Platform {
public:
    Platform platform() { return Platform{services_, spooler_, registry_, files_, system_, archiver_, serial_}; }

private:
    Win32ServiceControl services_;
    Win32Spooler spooler_;
    Win32Registry registry_;
    Win32FileSystem files_;
    Win32System system_;
    Win32ArchiverDll archiver_;
    Win32SerialPorts serial_;
};

}  // namespace setup::win32
