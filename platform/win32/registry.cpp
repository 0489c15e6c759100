#include <windows.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_platform.h"

namespace setup::win32 {

namespace {

HKEY rootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
        case RegistryRoot::LocalMachine: break;
    }
    return HKEY_LOCAL_MACHINE;
}

REGSAM accessMask(RegistryAccess access) {
    switch (access) {
        case RegistryAccess::QueryValue: return KEY_QUERY_VALUE;
        case RegistryAccess::SetValue: return KEY_SET_VALUE;
        case RegistryAccess::AllAccess: return KEY_ALL_ACCESS;
        case RegistryAccess::Read: break;
    }
    return KEY_READ;
}

}  // namespace

Result<Handle> Win32Registry::openKey(RegistryRoot root, const std::string& path, RegistryAccess access) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(rootKey(root), path.c_str(), 0, accessMask(access), &key);
    if (error != ERROR_SUCCESS) return Result<Handle>::failure(static_cast<std::uint32_t>(error));
    return toHandle(key);
}

Result<RegistryValue> Win32Registry::enumValue(Handle key, std::uint32_t index, std::uint32_t nameCapacity,
                                               std::uint32_t dataCapacity) {
    std::string name(nameCapacity, '\0');
    std::string data(dataCapacity, '\0');
    DWORD nameLength = nameCapacity;
    DWORD dataLength = dataCapacity;
    DWORD type = 0;
    LONG error = RegEnumValueA(fromHandle<HKEY>(key), index, name.data(), &nameLength, nullptr, &type,
                               reinterpret_cast<BYTE*>(data.data()), &dataLength);
    if (error != ERROR_SUCCESS) return Result<RegistryValue>::failure(static_cast<std::uint32_t>(error));
    name.resize(nameLength);
    data.resize(dataLength);
    return RegistryValue{std::move(name), type, std::move(data)};
}

std::uint32_t Win32Registry::setValue(Handle key, const std::string& name, std::uint32_t type,
                                      const std::string& data) {
    return static_cast<std::uint32_t>(RegSetValueExA(fromHandle<HKEY>(key), name.c_str(), 0, type,
                                                     reinterpret_cast<const BYTE*>(data.data()),
                                                     static_cast<DWORD>(data.size())));
}

Result<Handle> Win32Registry::createKey(RegistryRoot root, const std::string& path) {
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HKEY key = nullptr;
    LONG error = RegCreateKeyExA(rootKey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, &security, &key, nullptr);
    if (error != ERROR_SUCCESS) return Result<Handle>::failure(static_cast<std::uint32_t>(error));
    return toHandle(key);
}

Result<std::string> Win32Registry::queryValue(Handle key, const std::string& name, std::uint32_t bufferSize) {
    std::string data(bufferSize, '\0');
    DWORD size = bufferSize;
    LONG error = RegQueryValueExA(fromHandle<HKEY>(key), name.c_str(), nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(data.data()), &size);
    if (error != ERROR_SUCCESS) return Result<std::string>::failure(static_cast<std::uint32_t>(error));
    data.resize(size);
    return data;
}

void Win32Registry::closeKey(Handle key) {
    RegCloseKey(fromHandle<HKEY>(key));
}

}  // namespace setup::win32
