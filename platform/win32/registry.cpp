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

Result<Handle> openIn(RegistryRoot root, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(rootKey(root), path.c_str(), 0, access, &key);
    if (error != ERROR_SUCCESS) return Result<Handle>::failure(static_cast<std::uint32_t>(error));
    return toHandle(key);
}

Result<Handle> createIn(RegistryRoot root, const std::string& path, REGSAM access) {
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HKEY key = nullptr;
    LONG error = RegCreateKeyExA(rootKey(root), path.c_str(), 0, nullptr, 0, access, &security, &key, nullptr);
    if (error != ERROR_SUCCESS) return Result<Handle>::failure(static_cast<std::uint32_t>(error));
    return toHandle(key);
}

// KEY_WOW64_64KEY is ignored by 32-bit Windows from XP on; Windows 2000 and older refuse
// an access mask they do not know, and have only the one registry anyway.
REGSAM machine64(REGSAM access) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool knowsViews = GetVersionExA(&version) &&
                            (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1));
    return knowsViews ? (access | KEY_WOW64_64KEY) : access;
}

using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);

}  // namespace

Result<Handle> Win32Registry::openKey(RegistryRoot root, const std::string& path, RegistryAccess access) {
    return openIn(root, path, accessMask(access));
}

Result<Handle> Win32Registry::openKey64(RegistryRoot root, const std::string& path, RegistryAccess access) {
    return openIn(root, path, machine64(accessMask(access)));
}

Result<Handle> Win32Registry::createKey64(RegistryRoot root, const std::string& path) {
    return createIn(root, path, machine64(KEY_ALL_ACCESS));
}

std::uint32_t Win32Registry::deleteKey64(RegistryRoot root, const std::string& path) {
    // RegDeleteKeyExA is there from XP x64 and Vista on; before it, one registry and RegDeleteKeyA.
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    auto deleteEx = advapi == nullptr ? nullptr
                                      : reinterpret_cast<RegDeleteKeyExFunction>(
                                            reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExA")));
    if (deleteEx != nullptr) return static_cast<std::uint32_t>(deleteEx(rootKey(root), path.c_str(), KEY_WOW64_64KEY, 0));
    return static_cast<std::uint32_t>(RegDeleteKeyA(rootKey(root), path.c_str()));
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
    return createIn(root, path, KEY_ALL_ACCESS);
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
