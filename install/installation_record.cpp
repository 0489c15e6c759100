#include "install/installation_record.h"

#include <cstring>

namespace setup {

namespace {

// Every text of a record is well below this; a longer value is not a record of ours.
constexpr std::uint32_t valueBufferSize = 1024;

std::optional<std::string> readText(Registry& registry, Handle key, const char* name) {
    Result<std::string> data = registry.queryValue(key, name, valueBufferSize);
    if (!data) return std::nullopt;
    std::string text = *data;
    // A REG_SZ keeps its terminating NUL as written.
    if (std::size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
    return text;
}

std::optional<bool> readFlag(Registry& registry, Handle key, const char* name) {
    Result<std::string> data = registry.queryValue(key, name, valueBufferSize);
    if (!data || data->size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    std::memcpy(&value, data->data(), sizeof value);
    return value != 0;
}

std::string dwordBytes(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

}  // namespace

std::string installationRecordKey(const std::string& printerName) {
    return std::string(record_value::recordsKey) + "\\" + printerName;
}

std::optional<InstallationRecord> readInstallationRecord(Registry& registry, const std::string& printerName) {
    Result<RegistryKey> key = RegistryKey::adopt(
        registry, registry.openKey64(RegistryRoot::LocalMachine, installationRecordKey(printerName),
                                     RegistryAccess::QueryValue));
    if (!key) return std::nullopt;
    InstallationRecord record;
    bool whole = true;
    auto text = [&](const char* name, std::string& into) {
        std::optional<std::string> value = readText(registry, key->get(), name);
        if (value) into = *value; else whole = false;
    };
    auto flag = [&](const char* name, bool& into) {
        std::optional<bool> value = readFlag(registry, key->get(), name);
        if (value) into = *value; else whole = false;
    };
    text(record_value::program, record.program);
    text(record_value::version, record.version);
    text(record_value::driver, record.driverName);
    text(record_value::environment, record.environment);
    text(record_value::packageIdentity, record.packageIdentity);
    text(record_value::port, record.port);
    flag(record_value::portAdded, record.portAdded);
    text(record_value::monitor, record.monitor);
    flag(record_value::monitorAdded, record.monitorAdded);
    text(record_value::installedAt, record.installedAt);
    if (!whole) return std::nullopt;
    return record;
}

std::uint32_t writeInstallationRecord(Registry& registry, const std::string& printerName,
                                      const InstallationRecord& record) {
    Result<RegistryKey> key =
        RegistryKey::adopt(registry, registry.createKey64(RegistryRoot::LocalMachine, installationRecordKey(printerName)));
    if (!key) return key.error();
    std::uint32_t firstError = 0;
    auto put = [&](const char* name, std::uint32_t type, const std::string& data) {
        std::uint32_t error = registry.setValue(key->get(), name, type, data);
        if (firstError == 0) firstError = error;
    };
    put(record_value::program, regSz, stringValue(record.program));
    put(record_value::version, regSz, stringValue(record.version));
    put(record_value::driver, regSz, stringValue(record.driverName));
    put(record_value::environment, regSz, stringValue(record.environment));
    put(record_value::packageIdentity, regSz, stringValue(record.packageIdentity));
    put(record_value::port, regSz, stringValue(record.port));
    put(record_value::portAdded, regDword, dwordBytes(record.portAdded ? 1 : 0));
    put(record_value::monitor, regSz, stringValue(record.monitor));
    put(record_value::monitorAdded, regDword, dwordBytes(record.monitorAdded ? 1 : 0));
    put(record_value::installedAt, regSz, stringValue(record.installedAt));
    return firstError;
}

std::uint32_t deleteInstallationRecord(Registry& registry, const std::string& printerName) {
    std::uint32_t error = registry.deleteKey64(RegistryRoot::LocalMachine, installationRecordKey(printerName));
    return error == win_error::fileNotFound ? win_error::success : error;
}

}  // namespace setup
