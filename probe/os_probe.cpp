#include "probe/os_probe.h"

#include "context/dialog_context.h"

namespace setup {

namespace {

int classifyWindows9x(const OsVersion& v) {
    if (v.major != 4) return -1;
    switch (v.minor) {
        case 0: return 1;
        case 10: return 2;
        case 90: return 3;
        default: return -1;
    }
}

int classifyWindowsNt(const OsVersion& v, Program program) {
    const bool solo = program == Program::SoloSetup;
    if (v.major <= 4) return 4;
    if (v.major == 5) {
        switch (v.minor) {
            case 0: return 5;
            case 1: return 6;
            case 2: return 7;
            default: return -1;
        }
    }
    if (v.major == 6) {
        switch (v.minor) {
            case 0: return 8;
            case 1: return 9;
            case 2: return 10;
            case 3: return solo ? 11 : -1;
            default: return -1;
        }
    }
    if (v.major == 10) return solo ? 12 : 11;
    return -1;
}

}  // namespace

int osCode(System& system, Program program) {
    std::optional<OsVersion> version = system.versionEx(osVersionInfoExSize);
    if (!version) version = system.versionEx(osVersionInfoSize);
    if (!version) return -1;
    const bool solo = program == Program::SoloSetup;
    switch (version->platformId) {
        case 0: return solo ? classifyWindows9x(*version) : 5;
        case 1: return classifyWindows9x(*version);
        case 2: return classifyWindowsNt(*version, program);
        default: return 5;
    }
}

void probeOs(DialogContext& context) {
    System& system = context.platform.system;
    std::optional<bool> wow64 = system.isWow64Process();
    // A 64-bit program is never a WOW64 process, and runs on 64-bit Windows only.
    context.values.is64Bit = system.programIs64Bit() || wow64.value_or(false);
    context.calls.statusStep(context.config.systemPrefix +
                             systemDescription(system, context.config, context.values.is64Bit));
}

std::string systemDescription(System& system, const BuildConfig& config, bool is64Bit) {
    const char* bitness = is64Bit ? "64 bit" : "32 bit";
    const auto& names = config.osNames;
    int code = osCode(system, config.program);
    const char* name = (code > 0 && code < static_cast<int>(names.size()) && names[code]) ? names[code] : "";
    return std::string(name) + " " + bitness;
}

}  // namespace setup
