#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace setup {

enum class RegistryRoot { LocalMachine, CurrentUser, CurrentConfig };
enum class RegistryAccess { Read, SetValue, AllAccess };

constexpr std::uint32_t regSz = 1;  // REG_SZ

// One value read by RegEnumValueA. `data` holds the bytes as stored (a REG_SZ keeps its
// terminating NUL when it was written with one).
struct RegistryValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
};

// RegOpenKeyExA, RegEnumValueA, RegSetValueExA and RegCloseKey.
class Registry {
public:
    virtual ~Registry() = default;
    virtual Result<Handle> openKey(RegistryRoot root, const std::string& path, RegistryAccess access) = 0;
    // Enumerates with a name buffer of nameCapacity characters and a data buffer of
    // dataCapacity bytes, both including room for the terminating NUL; a value that does
    // not fit fails with win_error::moreData, the end with win_error::noMoreItems.
    virtual Result<RegistryValue> enumValue(Handle key, std::uint32_t index, std::uint32_t nameCapacity,
                                            std::uint32_t dataCapacity) = 0;
    virtual std::uint32_t setValue(Handle key, const std::string& name, std::uint32_t type,
                                   const std::string& data) = 0;
    virtual void closeKey(Handle key) = 0;
};

}  // namespace setup
