#include "platform/sim/sim_windows.h"

#include "platform/sim/sim_text.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <thread>

#include "archiver/core/crc32.h"
#include "platform/path_parts.h"

namespace setup::sim {

namespace fs = std::filesystem;

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Wildcards of FindFirstFileA: '*' any run, '?' one character; "*.*" matches every name.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    std::size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || std::tolower(pattern[p]) == std::tolower(name[n]))) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// An INI file as the profile functions see it: sections in file order, keys in order.
struct ProfileSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};

std::vector<ProfileSection> parseProfile(const std::string& content) {
    std::vector<ProfileSection> sections;
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            sections.push_back({trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        std::size_t equals = line.find('=');
        if (sections.empty() || equals == std::string::npos) continue;
        std::string value = trim(line.substr(equals + 1));
        // A value in a pair of quotes is given without them.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        sections.back().keys.emplace_back(trim(line.substr(0, equals)), value);
    }
    return sections;
}

class SimThread : public WorkerThread {
public:
    SimThread(std::function<void()> body, std::atomic<int>& live)
        : live_(live), thread_([this, body = std::move(body)] {
              body();
              done_ = true;
          }) {
        ++live_;
    }
    ~SimThread() override {
        thread_.join();
        --live_;
    }
    bool finished() override { return done_; }

private:
    std::atomic<bool> done_{false};
    std::atomic<int>& live_;
    std::thread thread_;
};

const char* const hardwareProfile = "system\\currentcontrolset\\hardware profiles\\current";

// The *A calls take paths shorter than MAX_PATH.
constexpr std::size_t maxPath = 260;

// The ANSI spelling of UTF-8 text on a machine whose code page spells ASCII only: every
// other character becomes '?', as WideCharToMultiByte's default character.
std::string ansiWithDefaults(const std::string& utf8) {
    std::string ansi;
    for (unsigned char c : utf8)
        if (c < 0x80) ansi += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80) ansi += '?';
    return ansi;
}

}  // namespace

SimWindows::SimWindows(fs::path hostRoot) : hostRoot_(std::move(hostRoot)) {
    fs::create_directories(hostRoot_ / "c");
    // The system folders of a 64-bit Windows, and the user's key of printer settings.
    fs::create_directories(hostRoot_ / "c" / "windows" / "system32");
    fs::create_directories(hostRoot_ / "c" / "windows" / "syswow64");
    registry_[registryKeyName(RegistryRoot::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows")];
    services["Spooler"] = SimService{ServiceState::Running};
    systemTexts = {
        {win_error::fileNotFound, "The system cannot find the file specified.\r\n"},
        {win_error::accessDenied, "Access is denied.\r\n"},
        {io_error::badCommand, "The device does not recognize the command.\r\n"},
        {win_error::notSupported, "The request is not supported.\r\n"},
        {win_error::serviceRequestTimeout, "The service did not respond to the start or control request in a "
                                           "timely fashion.\r\n"},
        {win_error::serviceDisabled, "The service cannot be started, either because it is disabled or because it "
                                     "has no enabled devices associated with it.\r\n"},
    };
}

void SimWindows::record(const std::string& entry) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    log_.push_back(entry);
    if (!killedAtCall.empty() && entry.rfind(killedAtCall, 0) == 0) {
        killedAtCall.clear();
        throw ProcessKilled{};
    }
}

std::vector<std::string> SimWindows::log() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return log_;
}

std::vector<std::string> SimWindows::logMatching(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& entry : log())
        if (entry.rfind(prefix, 0) == 0) matching.push_back(entry);
    return matching;
}

unsigned SimWindows::sleptMs() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return sleptMs_;
}

int SimWindows::openHandles() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    // The installer's lock is open on purpose for as long as the program runs.
    return static_cast<int>(std::count_if(open_.begin(), open_.end(),
                                          [](const auto& open) { return open.second.kind != OpenObject::Mutex; }));
}

Handle SimWindows::openObject(OpenObject object) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    Handle handle = nextHandle_++;
    open_.emplace(handle, std::move(object));
    return handle;
}

const SimWindows::OpenObject* SimWindows::object(Handle handle, OpenObject::Kind kind) const {
    auto found = open_.find(handle);
    return found != open_.end() && found->second.kind == kind ? &found->second : nullptr;
}

// --- services ----------------------------------------------------------------------------------

Result<Handle> SimWindows::openManager() {
    record("OpenSCManager");
    if (!administrator) return Result<Handle>::failure(win_error::accessDenied);
    return openObject({OpenObject::Manager, {}});
}

Result<Handle> SimWindows::openService(Handle manager, const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("OpenService " + name);
    if (!object(manager, OpenObject::Manager)) return Result<Handle>::failure(win_error::invalidHandle);
    if (!services.count(name)) return Result<Handle>::failure(win_error::serviceDoesNotExist);
    return openObject({OpenObject::Service, name});
}

Result<ServiceState> SimWindows::queryStatus(Handle service) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("QueryServiceStatus");
    const OpenObject* open = object(service, OpenObject::Service);
    if (!open) return Result<ServiceState>::failure(win_error::invalidHandle);
    if (serviceQueryFails) return Result<ServiceState>::failure(win_error::accessDenied);
    SimService& s = services[open->name];
    if (s.state == ServiceState::StartPending && s.canStart && s.queriesToStart-- <= 0) {
        s.state = ServiceState::Running;
        if (open->name == "Spooler") spoolerStarted();
    }
    if (s.state == ServiceState::StopPending && s.queriesToStop-- <= 0) s.state = ServiceState::Stopped;
    return s.state;
}

std::uint32_t SimWindows::start(Handle service) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("StartService");
    const OpenObject* open = object(service, OpenObject::Service);
    if (!open) return win_error::invalidHandle;
    SimService& s = services[open->name];
    if (s.state != ServiceState::Stopped) return win_error::serviceAlreadyRunning;
    if (s.startRefusal != 0) return s.startRefusal;
    s.state = ServiceState::StartPending;
    if (s.canStart && s.queriesToStart <= 0) {
        s.state = ServiceState::Running;
        if (open->name == "Spooler") spoolerStarted();
    }
    return win_error::success;
}

std::uint32_t SimWindows::stop(Handle service) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("ControlService Stop");
    const OpenObject* open = object(service, OpenObject::Service);
    if (!open) return win_error::invalidHandle;
    SimService& s = services[open->name];
    if (s.state != ServiceState::Running) return win_error::serviceNotActive;
    if (s.stopRefusal != 0) return s.stopRefusal;
    s.state = s.queriesToStop > 0 ? ServiceState::StopPending : ServiceState::Stopped;
    return win_error::success;
}

void SimWindows::close(Handle handle) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("CloseServiceHandle");
    open_.erase(handle);
}

// --- spooler -----------------------------------------------------------------------------------

Result<std::vector<PortInfo>> SimWindows::enumPorts() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("EnumPorts");
    if (enumPortsFails) return Result<std::vector<PortInfo>>::failure(win_error::accessDenied);
    return ports;
}

// --- registry ----------------------------------------------------------------------------------

std::string SimWindows::registryKeyName(RegistryRoot root, const std::string& path, bool programView) const {
    std::string key = lower(path);
    switch (root) {
        // ControlSet001 is the set the machine runs on: the same keys as CurrentControlSet.
        case RegistryRoot::LocalMachine:
            if (key.rfind("system\\controlset001", 0) == 0) key.replace(0, 20, "system\\currentcontrolset");
            // A 32-bit program on 64-bit Windows has a SOFTWARE of its own, but for the keys
            // Windows shares between both views (Microsoft's and the classes).
            if (programView && wow64.value_or(false) && key.rfind("software\\", 0) == 0 &&
                key.rfind("software\\microsoft", 0) != 0 && key.rfind("software\\classes", 0) != 0 &&
                key.rfind("software\\wow6432node", 0) != 0)
                key.insert(9, "wow6432node\\");
            return "hklm\\" + key;
        case RegistryRoot::CurrentUser: return "hkcu\\" + key;
        // The current configuration is the current hardware profile of the machine.
        case RegistryRoot::CurrentConfig: return "hklm\\" + std::string(hardwareProfile) + (key.empty() ? "" : "\\" + key);
    }
    return key;
}

void SimWindows::setRegistryValue(RegistryRoot root, const std::string& path, const std::string& name,
                                  std::uint32_t type, const std::string& data) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    storeValue(registryKeyName(root, path), {name, type, data});
}

void SimWindows::storeValue(const std::string& keyName, RegistryValue value) {
    auto& values = registry_[keyName].values;
    auto same = std::find_if(values.begin(), values.end(),
                             [&](const RegistryValue& v) { return equalNoCase(v.name, value.name); });
    if (same != values.end())
        *same = std::move(value);
    else
        values.push_back(std::move(value));
}

std::optional<std::string> SimWindows::registryValue(RegistryRoot root, const std::string& path,
                                                     const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto key = registry_.find(registryKeyName(root, path));
    if (key == registry_.end()) return std::nullopt;
    for (const RegistryValue& v : key->second.values)
        if (equalNoCase(v.name, name)) return v.data;
    return std::nullopt;
}

bool SimWindows::registryKeyExists(RegistryRoot root, const std::string& path) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return registry_.count(registryKeyName(root, path)) != 0;
}

void SimWindows::removeRegistryKey(RegistryRoot root, const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    registry_.erase(registryKeyName(root, path));
}

void SimWindows::addSerialPort(const std::string& device, const std::string& com) {
    setRegistryValue(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", device, regSz, com + '\0');
    ports.push_back({com + ":", "Local Port", "Local Port", 0});
}

Result<Handle> SimWindows::openKey(RegistryRoot root, const std::string& path, RegistryAccess) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return openKeyNamed(registryKeyName(root, path, true), "RegOpenKeyEx", path);
}

Result<Handle> SimWindows::openKey64(RegistryRoot root, const std::string& path, RegistryAccess) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return openKeyNamed(registryKeyName(root, path), "RegOpenKeyEx64", path);
}

Result<Handle> SimWindows::openKeyNamed(const std::string& name, const std::string& call, const std::string& path) {
    record(call + " " + path);
    if (std::uint32_t error = injectedFailure(call, path)) return Result<Handle>::failure(error);
    if (!registry_.count(name)) return Result<Handle>::failure(win_error::fileNotFound);
    return openObject({OpenObject::Key, name});
}

std::uint32_t SimWindows::deleteKey64(RegistryRoot root, const std::string& path) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("RegDeleteKeyEx64 " + path);
    if (std::uint32_t error = injectedFailure("RegDeleteKeyEx64", path)) return error;
    const std::string name = registryKeyName(root, path);
    if (!registry_.count(name)) return win_error::fileNotFound;
    // A key with subkeys is not deleted.
    const std::string below = name + "\\";
    auto next = registry_.lower_bound(below);
    if (next != registry_.end() && next->first.rfind(below, 0) == 0) return win_error::accessDenied;
    registry_.erase(name);
    return win_error::success;
}

Result<RegistryValue> SimWindows::enumValue(Handle key, std::uint32_t index, std::uint32_t nameCapacity,
                                            std::uint32_t dataCapacity) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const OpenObject* open = object(key, OpenObject::Key);
    if (!open) return Result<RegistryValue>::failure(win_error::invalidHandle);
    const auto& values = registry_[open->name].values;
    if (index >= values.size()) return Result<RegistryValue>::failure(win_error::noMoreItems);
    const RegistryValue& value = values[index];
    if (value.name.size() + 1 > nameCapacity || value.data.size() > dataCapacity)
        return Result<RegistryValue>::failure(win_error::moreData);
    return value;
}

std::uint32_t SimWindows::setValue(Handle key, const std::string& name, std::uint32_t type, const std::string& data) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const OpenObject* open = object(key, OpenObject::Key);
    if (!open) return win_error::invalidHandle;
    record("RegSetValueEx " + name + "=" + data);
    if (std::uint32_t error = injectedFailure("RegSetValueEx", name)) return error;
    storeValue(open->name, {name, type, data});
    return win_error::success;
}

void SimWindows::closeKey(Handle key) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("RegCloseKey");
    open_.erase(key);
}

// --- files -------------------------------------------------------------------------------------

fs::path SimWindows::resolve(const std::string& windowsPath, bool) const {
    std::string path = windowsPath;
    bool absolute = path.size() >= 2 && path[1] == ':';
    if (!absolute) path = currentDir + "\\" + path;
    std::vector<std::string> parts = pathParts(path);
    fs::path host = hostRoot_ / lower(parts.front().substr(0, 1));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == ".") continue;
        if (parts[i] == "..") {
            if (host != hostRoot_ / lower(parts.front().substr(0, 1))) host = host.parent_path();
            continue;
        }
        fs::path next = host / parts[i];
        std::error_code error;
        if (!fs::exists(fs::symlink_status(next, error)) && fs::is_directory(host, error)) {
            for (const auto& entry : fs::directory_iterator(host, error)) {
                auto shortName = shortNames_.find(entry.path());
                if (equalNoCase(entry.path().filename().string(), parts[i]) ||
                    (shortName != shortNames_.end() && equalNoCase(shortName->second, parts[i])))
                    next = entry.path();
            }
        }
        host = next;
    }
    return host;
}

fs::path SimWindows::hostPath(const std::string& windowsPath) const {
    return resolve(windowsPath, false);
}

bool SimWindows::exists(const std::string& windowsPath) const {
    std::error_code error;
    return fs::exists(fs::symlink_status(resolve(windowsPath, false), error));
}

void SimWindows::writeFile(const std::string& windowsPath, const std::string& content) {
    fs::path host = resolve(windowsPath, true);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

std::string SimWindows::currentDirectory(std::uint32_t bufferSize) {
    record("GetCurrentDirectory");
    std::string ansi = ansiWithDefaults(currentDir);
    return ansi.size() < bufferSize ? ansi : std::string();
}

std::optional<std::uint32_t> SimWindows::attributes(const std::string& path) {
    record("GetFileAttributes " + path);
    if (path.size() >= maxPath) return std::nullopt;
    return attributesOf(path);
}

std::optional<std::uint32_t> SimWindows::attributesOf(const std::string& path) const {
    std::error_code error;
    fs::file_status status = fs::symlink_status(resolve(path, false), error);
    if (!fs::exists(status)) return std::nullopt;
    std::uint32_t attributes = fs::is_directory(fs::status(resolve(path, false), error)) ? fileAttributeDirectory : 0x80;
    if (fs::is_symlink(status)) attributes |= fileAttributeReparsePoint;
    if (readOnly(path)) attributes |= fileAttributeReadOnly;
    return attributes;
}

bool SimWindows::readOnly(const std::string& windowsPath) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (const std::string& readOnly : readOnlyFiles)
        if (resolve(readOnly, false) == resolve(windowsPath, false)) return true;
    return false;
}

void SimWindows::setReadOnly(const std::string& windowsPath, bool readOnly) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    fs::path host = resolve(windowsPath, false);
    std::erase_if(readOnlyFiles, [&](const std::string& path) { return resolve(path, false) == host; });
    if (readOnly) readOnlyFiles.insert(windowsPath);
}

Result<std::vector<FoundFile>> SimWindows::findFiles(const std::string& pattern) {
    record("FindFirstFile " + pattern);
    if (pattern.size() >= maxPath) return Result<std::vector<FoundFile>>::failure(win_error::fileNotFound);
    std::vector<std::string> parts = pathParts(pattern);
    std::string wildcard = parts.empty() ? std::string() : parts.back();
    std::size_t cut = pattern.rfind(wildcard);
    fs::path folder = resolve(pattern.substr(0, cut), false);
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error)))
        return Result<std::vector<FoundFile>>::failure(win_error::fileNotFound);
    std::vector<FoundFile> found;
    if (wildcardMatch(wildcard, ".")) {
        found.push_back({".", fileAttributeDirectory});
        found.push_back({"..", fileAttributeDirectory});
    }
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (!wildcardMatch(wildcard, name)) continue;
        std::uint32_t attributes = entry.is_directory() ? fileAttributeDirectory : 0x80;
        if (entry.is_symlink()) attributes |= fileAttributeReparsePoint;
        found.push_back({name, attributes});
    }
    return found;
}

bool SimWindows::deleteFile(const std::string& path) {
    record("DeleteFile " + path);
    return path.size() < maxPath && deleteOne(path);
}

bool SimWindows::deleteOne(const std::string& path) {
    if (readOnly(path)) return false;
    fs::path host = resolve(path, false);
    std::error_code error;
    fs::file_status status = fs::symlink_status(host, error);
    if (!fs::exists(status) || fs::is_directory(status)) return false;
    return fs::remove(host, error);
}

bool SimWindows::removeDirectory(const std::string& path) {
    record("RemoveDirectory " + path);
    return path.size() < maxPath && removeOne(path);
}

bool SimWindows::removeOne(const std::string& path) {
    if (readOnly(path)) return false;
    fs::path host = resolve(path, false);
    std::error_code error;
    fs::file_status status = fs::symlink_status(host, error);
    if (fs::is_symlink(status)) return fs::remove(host, error);
    if (!fs::is_directory(status) || !fs::is_empty(host, error)) return false;
    return fs::remove(host, error);
}

std::string SimWindows::profileSectionNames(const std::string& file, std::uint32_t bufferSize) {
    record("GetPrivateProfileSectionNames " + file);
    std::string buffer(bufferSize, '\0');
    std::ifstream in(resolve(file, false), std::ios::binary);
    if (!in || bufferSize < 2) return buffer;
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = 0;
    for (const ProfileSection& section : parseProfile(content)) {
        // A list that does not fit ends with the part of the name that fits and two NULs.
        if (at + section.name.size() + 2 > bufferSize) {
            std::size_t room = bufferSize - 2 - at;
            buffer.replace(at, room, section.name.substr(0, room));
            break;
        }
        buffer.replace(at, section.name.size(), section.name);
        at += section.name.size() + 1;
    }
    return buffer;
}

std::string SimWindows::profileString(const std::string& file, const std::string& section, const std::string& key,
                                      std::uint32_t bufferSize) {
    std::ifstream in(resolve(file, false), std::ios::binary);
    if (!in || bufferSize == 0) return {};
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const ProfileSection& s : parseProfile(content)) {
        if (!equalNoCase(s.name, section)) continue;
        for (const auto& [name, value] : s.keys)
            if (equalNoCase(name, key)) return value.substr(0, std::min<std::size_t>(value.find('\0'), bufferSize - 1));
        return {};  // the first section of that name is the one read
    }
    return {};
}

// --- system ------------------------------------------------------------------------------------

std::optional<OsVersion> SimWindows::versionEx(std::uint32_t recordSize) {
    record("GetVersionEx " + std::to_string(recordSize));
    if (recordSize == osVersionInfoExSize && !versionExAcceptsExRecord) return std::nullopt;
    return version;
}

std::optional<bool> SimWindows::isWow64Process() {
    return wow64;
}

std::optional<bool> SimWindows::runsAsLocalSystem() {
    record("GetTokenInformation TokenUser");
    return localSystem;
}

void SimWindows::sleep(std::uint32_t milliseconds) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    sleptMs_ += milliseconds;
    record("Sleep " + std::to_string(milliseconds));
}

std::string SimWindows::systemMessage(std::uint32_t error) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto found = systemTexts.find(error);
    return found != systemTexts.end() ? found->second : std::string();
}

std::string SimWindows::programTitle() {
    return title;
}

std::unique_ptr<WorkerThread> SimWindows::startThread(std::function<void()> body) {
    record("CreateThread");
    return std::make_unique<SimThread>(std::move(body), liveThreads_);
}

// --- archiver ----------------------------------------------------------------------------------

Handle SimWindows::load(const std::string& path) {
    record("LoadLibrary " + path);
    if (!archiverPresent) return 0;
    std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos || !equalNoCase(path.substr(cut + 1), "7-zip32.dll")) return 0;
    bool there = std::any_of(archiverDllFolders.begin(), archiverDllFolders.end(),
                             [&](const std::string& folder) { return equalNoCase(folder, path.substr(0, cut)); });
    return there ? openObject({OpenObject::Module, path}) : 0;
}

void SimWindows::free(Handle module) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("FreeLibrary");
    open_.erase(module);
}

EntryPoint SimWindows::find(Handle module, const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!object(module, OpenObject::Module) || name == archiverMissingEntry) return 0;
    static const char* const exported[] = {"SevenZip", "SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx",
                                           "SevenZipListW"};
    for (int i = 0; i < 4; ++i)
        if (name == exported[i]) return static_cast<EntryPoint>(i + 1);
    return 0;
}

bool SimWindows::setOwnerWindowEx(EntryPoint entry, Handle window, Progress progress) {
    record("SevenZipSetOwnerWindowEx " + std::to_string(window));
    if (entry != 2) return false;
    progress_ = std::move(progress);
    return true;
}

bool SimWindows::killOwnerWindowEx(EntryPoint entry, Handle window) {
    record("SevenZipKillOwnerWindowEx " + std::to_string(window));
    if (entry != 3) return false;
    progress_ = nullptr;
    return true;
}

ArchiverCall SimWindows::sevenZip(EntryPoint entry, Handle window, const std::string& commandLine,
                                  std::string& output, std::uint32_t) {
    record("SevenZip " + std::to_string(window) + " " + commandLine);
    if (entry != 1) return {true, 0};
    // x -y "<archive>" -o"<destination>" -hide
    std::size_t archiveStart = commandLine.find('"') + 1;
    std::string archive = commandLine.substr(archiveStart, commandLine.find('"', archiveStart) - archiveStart);
    std::size_t open = commandLine.find("-o\"");
    std::string destination = commandLine.substr(open + 3, commandLine.find('"', open + 3) - open - 3);
    if (!fs::is_regular_file(resolve(archive, false))) {
        output = "Error: cannot open archive \"" + archive + "\"";
        return {false, 2};
    }
    return extractTo(destination, progress_, output);
}

ArchiverCall SimWindows::extractTo(const std::string& destination, Progress& progress, std::string& output) {
    std::size_t written = 0;
    for (const auto& [path, content] : archiveTree) {
        if (progress && !progress()) {
            output = "Error: extraction cancelled";
            return {false, 6};
        }
        if (archiverBehaviour != ArchiverBehaviour::Unpack && written == archiverWritesBeforeFailing) {
            output = "Error: CRC error in \"" + path + "\"";
            return {archiverBehaviour == ArchiverBehaviour::Raise, archiverFailure};
        }
        if (archiverMsPerFile) std::this_thread::sleep_for(std::chrono::milliseconds(archiverMsPerFile));
        std::string target = destination + (destination.back() == '\\' ? "" : "\\") + path;
        if (archiverKilledAfterWrites == written) {
            archiverKilledAfterWrites.reset();
            if (path.back() != '\\') writeFile(target + ".7ztmp4242_" + std::to_string(written), content.substr(0, content.size() / 2));
            throw ProcessKilled{};
        }
        try {
            if (path.back() == '\\') {
                fs::create_directories(resolve(target, true));
            } else {
                setReadOnly(target, false);  // the archiver replaces a read-only file too
                writeFile(target, content);
                if (archiveReadOnlyEntries.count(path)) setReadOnly(target, true);
            }
        } catch (const fs::filesystem_error&) {
            // A file where a folder must go, or a folder where a file must go.
            output = "Error: cannot create \"" + target + "\"";
            return {false, 2};
        }
        ++written;
    }
    if (archiverBehaviour != ArchiverBehaviour::Unpack) {
        output = "Error: CRC error";
        return {archiverBehaviour == ArchiverBehaviour::Raise, archiverFailure};
    }
    output.clear();
    return {false, 0};
}

ArchiverListing SimWindows::listEntries(EntryPoint entry, const std::string& archivePath, std::uint32_t) {
    record("SevenZipListW " + archivePath);
    ArchiverListing listing;
    if (entry != 4) {
        listing.call.raised = true;
        return listing;
    }
    if (!fs::is_regular_file(resolve(archivePath, false))) {
        listing.call.result = 2;
        listing.report = "Error: cannot open archive \"" + archivePath + "\"";
        return listing;
    }
    if (archiverListFailure != 0) {
        listing.call.result = archiverListFailure;
        listing.report = "Error: archive header is corrupt";
        return listing;
    }
    for (const auto& [path, content] : archiveTree) {
        bool folder = path.back() == '\\';
        ArchiveEntry entry{folder ? path.substr(0, path.size() - 1) : path, folder, content.size(), std::nullopt};
        // Like 7z archives: a CRC for every file with content.
        if (!folder && !content.empty())
            entry.crc = archiver::crc32(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        listing.entries.push_back(std::move(entry));
    }
    return listing;
}

// --- files: Unicode paths ----------------------------------------------------------------------

std::string SimWindows::currentDirectoryW() {
    record("GetCurrentDirectoryW");
    return currentDir;
}

std::optional<std::uint32_t> SimWindows::attributesW(const std::string& path) {
    record("GetFileAttributesW " + path);
    return attributesOf(path);
}

bool SimWindows::setAttributesW(const std::string& path, std::uint32_t attributes) {
    record("SetFileAttributesW " + path);
    if (!attributesOf(path)) return false;
    setReadOnly(path, (attributes & fileAttributeReadOnly) != 0);
    return true;
}

bool SimWindows::deleteFileW(const std::string& path) {
    record("DeleteFileW " + path);
    if (injectedFailure("DeleteFileW", path)) return false;  // a file another program holds open
    return deleteOne(path);
}

bool SimWindows::removeDirectoryW(const std::string& path) {
    record("RemoveDirectoryW " + path);
    return removeOne(path);
}

void SimWindows::setShortName(const std::string& windowsPath, const std::string& shortName) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    shortNames_[resolve(windowsPath, false)] = shortName;
}

std::string SimWindows::shortPathW(const std::string& path) {
    record("GetShortPathNameW " + path);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<std::string> parts = pathParts(path);
    if (parts.empty() || !exists(path)) return {};
    std::string shortPath = parts.front();
    std::string longPath = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        longPath += "\\" + parts[i];
        auto shortName = shortNames_.find(resolve(longPath, false));
        shortPath += "\\" + (shortName != shortNames_.end() ? shortName->second : parts[i]);
    }
    return shortPath;
}

std::optional<std::string> SimWindows::ansiSpelling(const std::string& text) {
    if (ansiWithDefaults(text) != text) return std::nullopt;
    return text;
}

Result<Handle> SimWindows::openReadOnlyLockedW(const std::string& path) {
    record("CreateFileW " + path);
    if (!fs::is_regular_file(resolve(path, false))) return Result<Handle>::failure(win_error::fileNotFound);
    return openObject({OpenObject::File, path});
}

void SimWindows::closeFile(Handle file) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("CloseHandle file");
    open_.erase(file);
}

std::string SimWindows::unicodeSpelling(const std::string& ansi) {
    std::string utf8;
    for (unsigned char c : ansi)
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    return utf8;
}

bool SimWindows::appendFileW(const std::string& path, const std::string& bytes) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (injectedFailure("AppendFile", path)) return false;
    // FILE_APPEND_DATA is refused on a read-only file.
    if (readOnly(path)) return false;
    fs::path host = resolve(path, true);
    std::error_code error;
    if (!fs::is_directory(host.parent_path(), error)) return false;
    std::ofstream file(host, std::ios::binary | std::ios::app);
    file << bytes;
    return static_cast<bool>(file);
}

Result<std::string> SimWindows::readFileW(const std::string& path) {
    record("ReadFile " + path);
    if (std::uint32_t error = injectedFailure("ReadFile", path)) return Result<std::string>::failure(error);
    std::ifstream in(resolve(path, false), std::ios::binary);
    if (!fileExists(path) || !in) return Result<std::string>::failure(win_error::fileNotFound);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

namespace {

// The form ConvertStringSecurityDescriptorToSecurityDescriptorW accepts: owner, group, DACL and
// SACL parts ("O:", "G:", "D:", "S:"), an ACL's flags, then its entries in parentheses, each
// of six fields. Whether the rights and accounts are known is not looked at.
bool sddlParses(const std::string& sddl) {
    if (sddl.empty()) return false;
    std::size_t at = 0;
    while (at < sddl.size()) {
        if (at + 1 >= sddl.size() || std::string("OGDS").find(sddl[at]) == std::string::npos || sddl[at + 1] != ':')
            return false;
        at += 2;
        while (at < sddl.size() && sddl[at] != '(' && !(at + 1 < sddl.size() && sddl[at + 1] == ':')) ++at;
        while (at < sddl.size() && sddl[at] == '(') {
            const std::size_t end = sddl.find(')', at);
            if (end == std::string::npos) return false;
            if (std::count(sddl.begin() + at, sddl.begin() + end, ';') != 5) return false;
            at = end + 1;
        }
    }
    return true;
}

}  // namespace

Result<std::vector<FoundFile>> SimWindows::folderEntriesW(const std::string& folder) {
    record("FindFirstFileW " + folder + "\\*");
    if (std::uint32_t error = injectedFailure("FindFirstFileW", folder))
        return Result<std::vector<FoundFile>>::failure(error);
    std::error_code error;
    fs::path host = resolve(folder, false);
    if (!fs::is_directory(host, error)) return Result<std::vector<FoundFile>>::failure(win_error::pathNotFound);
    std::vector<FoundFile> found;
    for (const auto& entry : fs::directory_iterator(host, error)) {
        std::string name = entry.path().filename().string();
        found.push_back({name, attributesOf(folder + "\\" + name).value_or(0)});
    }
    return found;
}

std::uint32_t SimWindows::createFolderW(const std::string& path, const std::string& sddl) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("CreateDirectoryW " + path + " " + sddl);
    if (std::uint32_t error = injectedFailure("CreateDirectoryW", path)) return error;
    if (!sddlParses(sddl)) return win_error::invalidParameter;
    if (exists(path)) return win_error::alreadyExists;
    fs::path host = resolve(path, true);
    std::error_code error;
    if (!fs::is_directory(host.parent_path(), error)) return win_error::pathNotFound;
    fs::create_directory(host, error);
    if (error) return win_error::accessDenied;
    folderSecurity[lower(path)] = sddl;
    return win_error::success;
}

// --- system: DLL search and the installer's lock -----------------------------------------------

std::string SimWindows::programFolderW() {
    return programFolder;
}

std::string SimWindows::systemFolderW() {
    return systemFolder;
}

void SimWindows::restrictDllSearch() {
    record("SetDllDirectoryW");
    dllSearchRestricted = true;
}

Result<NamedMutex> SimWindows::createNamedMutex(const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("CreateMutexW " + name);
    bool existed = namedMutexes.count(name) > 0;
    namedMutexes.insert(name);
    return NamedMutex{openObject({OpenObject::Mutex, name}), existed};
}

LocalTime SimWindows::localTime() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    LocalTime now = clock;
    clock.millisecond = (clock.millisecond + 1) % 1000;
    return now;
}

void SimWindows::closeMutex(Handle mutex) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("CloseHandle mutex");
    const OpenObject* open = object(mutex, OpenObject::Mutex);
    if (!open) return;
    auto held = namedMutexes.find(open->name);
    if (held != namedMutexes.end()) namedMutexes.erase(held);
    open_.erase(mutex);
}

}  // namespace setup::sim
