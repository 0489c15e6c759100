#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace setup {

enum class RegistryRoot { LocalMachine, CurrentUser, CurrentConfig };
enum class RegistryAccess { Read, QueryValue, SetValue, AllAccess };

constexpr std::uint32_t regSz = 1;     // REG_SZ
constexpr std::uint32_t regDword = 4;  // REG_DWORD
constexpr std::uint32_t regBinary = 3; // REG_BINARY: bytes the registry keeps as they are

// One value read by RegEnumValueA. `data` holds the bytes as stored (a REG_SZ keeps its
// terminating NUL when it was written with one).
struct RegistryValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
};

// The bytes of a REG_SZ value: the text and its terminating NUL, which the registry wants
// counted so that no reader runs past the value's end.
inline std::string stringValue(const std::string& text) {
    return text + '\0';
}

// RegOpenKeyExA, RegCreateKeyExA, RegEnumValueA, RegQueryValueExA, RegSetValueExA and RegCloseKey.
class Registry {
public:
    virtual ~Registry() = default;
    virtual Result<Handle> openKey(RegistryRoot root, const std::string& path, RegistryAccess access) = 0;
    // Enumerates with a name buffer of nameCapacity characters and a data buffer of
    // dataCapacity bytes, both including room for the terminating NUL; a value that does
    // not fit fails with win_error::moreData, the end with win_error::noMoreItems.
    virtual Result<RegistryValue> enumValue(Handle key, std::uint32_t index, std::uint32_t nameCapacity,
                                            std::uint32_t dataCapacity) = 0;
    // Writes the bytes of data as they are: a REG_SZ that is to keep its terminating NUL
    // must hold it.
    virtual std::uint32_t setValue(Handle key, const std::string& name, std::uint32_t type,
                                   const std::string& data) = 0;
    // RegCreateKeyExA with no class, no options, full access and an inheritable handle.
    virtual Result<Handle> createKey(RegistryRoot root, const std::string& path) = 0;
    // RegQueryValueExA into a buffer of bufferSize bytes: the data as stored.
    virtual Result<std::string> queryValue(Handle key, const std::string& name, std::uint32_t bufferSize) = 0;
    virtual void closeKey(Handle key) = 0;

    // The same calls in the machine's 64-bit registry (KEY_WOW64_64KEY): on 64-bit Windows a
    // 32-bit program's own HKLM\SOFTWARE is SOFTWARE\WOW6432Node, which 64-bit programs and
    // the tools that read what is installed do not look in. On 32-bit Windows they are the
    // plain calls.
    virtual Result<Handle> openKey64(RegistryRoot root, const std::string& path, RegistryAccess access) = 0;
    virtual Result<Handle> createKey64(RegistryRoot root, const std::string& path) = 0;
    // RegDeleteKeyExA of a key without subkeys, in the 64-bit registry.
    virtual std::uint32_t deleteKey64(RegistryRoot root, const std::string& path) = 0;
};

// A key that closes itself through its registry (RegCloseKey).
using RegistryKey = UniqueHandle<Registry, &Registry::closeKey>;

}  // namespace setup
