#include "config/unattended_texts.h"

#include <cstdio>
#include <vector>

#include "config/build_config.h"
#include "config/program_versions.h"

namespace setup {

const char* programVersion(Program program) {
    return program == Program::SoloSetup ? SOLOSETUP_VERSION_TEXT : MULTISETUP_VERSION_TEXT;
}

namespace {

std::string withName(const char* format, const char* name) {
    std::vector<char> text(std::char_traits<char>::length(format) + std::char_traits<char>::length(name));
    std::snprintf(text.data(), text.size(), format, name);
    return text.data();
}

}  // namespace

std::string usageText(Program program, const std::string& refusal) {
    const bool solo = program == Program::SoloSetup;
    const char* name = buildConfig(program).programName;
    std::string usage = refusal.empty() ? std::string() : refusal + "\r\n\r\n";
    usage += withName(text::usageHead, name);
    if (solo) usage += text::usageNameOption;
    usage += withName(text::usageRemoval, name);
    usage += text::usageOptions;
    if (solo) usage += text::usageNameText;
    usage += text::usageExitCodes;
    return usage;
}

}  // namespace setup
