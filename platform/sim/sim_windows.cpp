#include "platform/sim/sim_windows.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <thread>

namespace setup::sim {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return lower(a) == lower(b);
}

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
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

}  // namespace

SimWindows::SimWindows(fs::path hostRoot) : hostRoot_(std::move(hostRoot)) {
    fs::create_directories(hostRoot_ / "c");
    services["Spooler"] = SimService{ServiceState::Running};
}

void SimWindows::record(const std::string& entry) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    log_.push_back(entry);
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
    return static_cast<int>(open_.size());
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

bool SimWindows::start(Handle service) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("StartService");
    const OpenObject* open = object(service, OpenObject::Service);
    if (!open) return false;
    SimService& s = services[open->name];
    if (s.state != ServiceState::Stopped) return false;
    s.state = ServiceState::StartPending;
    if (s.canStart && s.queriesToStart <= 0) {
        s.state = ServiceState::Running;
        if (open->name == "Spooler") spoolerStarted();
    }
    return true;
}

bool SimWindows::stop(Handle service) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("ControlService Stop");
    const OpenObject* open = object(service, OpenObject::Service);
    if (!open) return false;
    SimService& s = services[open->name];
    if (s.state != ServiceState::Running) return false;
    s.state = s.queriesToStop > 0 ? ServiceState::StopPending : ServiceState::Stopped;
    return true;
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

std::string SimWindows::registryKeyName(RegistryRoot root, const std::string& path) const {
    std::string key = lower(path);
    switch (root) {
        // ControlSet001 is the set the machine runs on: the same keys as CurrentControlSet.
        case RegistryRoot::LocalMachine:
            if (key.rfind("system\\controlset001", 0) == 0) key.replace(0, 20, "system\\currentcontrolset");
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
    std::string name = registryKeyName(root, path);
    record("RegOpenKeyEx " + path);
    if (std::uint32_t error = injectedFailure("RegOpenKeyEx", path)) return Result<Handle>::failure(error);
    if (!registry_.count(name)) return Result<Handle>::failure(win_error::fileNotFound);
    return openObject({OpenObject::Key, name});
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
    std::vector<std::string> parts = splitPath(path);
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
            for (const auto& entry : fs::directory_iterator(host, error))
                if (equalNoCase(entry.path().filename().string(), parts[i])) next = entry.path();
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
    return currentDir.size() < bufferSize ? currentDir : std::string();
}

std::optional<std::uint32_t> SimWindows::attributes(const std::string& path) {
    record("GetFileAttributes " + path);
    std::error_code error;
    fs::file_status status = fs::symlink_status(resolve(path, false), error);
    if (!fs::exists(status)) return std::nullopt;
    std::uint32_t attributes = fs::is_directory(fs::status(resolve(path, false), error)) ? fileAttributeDirectory : 0x80;
    if (fs::is_symlink(status)) attributes |= fileAttributeReparsePoint;
    return attributes;
}

Result<std::vector<FoundFile>> SimWindows::findFiles(const std::string& pattern) {
    record("FindFirstFile " + pattern);
    std::vector<std::string> parts = splitPath(pattern);
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
    for (const std::string& readOnly : readOnlyFiles)
        if (resolve(readOnly, false) == resolve(path, false)) return false;
    fs::path host = resolve(path, false);
    std::error_code error;
    fs::file_status status = fs::symlink_status(host, error);
    if (!fs::exists(status) || fs::is_directory(status)) return false;
    return fs::remove(host, error);
}

bool SimWindows::removeDirectory(const std::string& path) {
    record("RemoveDirectory " + path);
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

void SimWindows::sleep(std::uint32_t milliseconds) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    sleptMs_ += milliseconds;
    record("Sleep " + std::to_string(milliseconds));
}

std::string SimWindows::programTitle() {
    return title;
}

std::unique_ptr<WorkerThread> SimWindows::startThread(std::function<void()> body) {
    record("CreateThread");
    return std::make_unique<SimThread>(std::move(body), liveThreads_);
}

// --- archiver ----------------------------------------------------------------------------------

Handle SimWindows::load(const std::string& fileName) {
    record("LoadLibrary " + fileName);
    if (!archiverPresent) return 0;
    return openObject({OpenObject::Module, fileName});
}

void SimWindows::free(Handle module) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    record("FreeLibrary");
    open_.erase(module);
}

EntryPoint SimWindows::find(Handle module, const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!object(module, OpenObject::Module) || name == archiverMissingEntry) return 0;
    static const char* const exported[] = {"SevenZip", "SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx"};
    for (int i = 0; i < 3; ++i)
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
    switch (archiverBehaviour) {
        case ArchiverBehaviour::Raise: return {true, 0};
        case ArchiverBehaviour::Fail: return {false, archiverFailure};
        case ArchiverBehaviour::Unpack: break;
    }
    // x -y "<archive>" -o"<destination>" -hide
    std::size_t open = commandLine.find("-o\"");
    std::string destination = commandLine.substr(open + 3, commandLine.find('"', open + 3) - open - 3);
    output = extractTo(destination, progress_);
    return {false, output.empty() ? 0 : 1};
}

std::string SimWindows::extractTo(const std::string& destination, Progress& progress) {
    for (const auto& [path, content] : archiveTree) {
        if (progress && !progress()) return "stopped";
        if (archiverMsPerFile) std::this_thread::sleep_for(std::chrono::milliseconds(archiverMsPerFile));
        std::string target = destination + (destination.back() == '\\' ? "" : "\\") + path;
        if (path.back() == '\\')
            fs::create_directories(resolve(target, true));
        else
            writeFile(target, content);
    }
    return {};
}

}  // namespace setup::sim
