#include "probe/serial_port_list.h"

namespace setup {

namespace {
constexpr const char* serialDeviceMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* deviceNamePrefix = "\\Device\\";
constexpr std::uint32_t nameCapacity = 128;
constexpr std::uint32_t dataCapacity = 128;

// The value's data up to its first NUL: what a string read into a C buffer holds.
std::string asText(const std::string& data) {
    return data.substr(0, data.find('\0'));
}
}  // namespace

int readSerialPortList(Registry& registry, std::vector<std::string>& list) {
    list.clear();
    Result<RegistryKey> key =
        RegistryKey::adopt(registry, registry.openKey(RegistryRoot::LocalMachine, serialDeviceMap, RegistryAccess::Read));
    if (!key) return 0;
    for (std::uint32_t index = 0;; ++index) {
        Result<RegistryValue> value = registry.enumValue(key->get(), index, nameCapacity, dataCapacity);
        if (!value) {
            // A value too long for the buffers holds no usable port name; the others still count.
            if (value.error() == win_error::moreData) continue;
            break;
        }
        if (value->name.rfind(deviceNamePrefix, 0) == 0) list.push_back(asText(value->data) + ":");
    }
    return list.empty() ? 0 : 1;
}

}  // namespace setup
