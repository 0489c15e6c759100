#include "config/unattended_texts.h"

#include <cstdio>
#include <vector>

#include "config/build_config.h"
#include "config/program_versions.h"

namespace setup {

const char* programVersion(Program program) {
    return program == Program::SoloSetup ? SOLOSETUP_VERSION_TEXT : MULTISETUP_VERSION_TEXT;
}

std::string usageText(Program program, const std::string& refusal) {
    const bool solo = program == Program::SoloSetup;
    const char* name = buildConfig(program).programName;
    std::vector<char> head(std::char_traits<char>::length(text::usageHead) + std::char_traits<char>::length(name));
    std::snprintf(head.data(), head.size(), text::usageHead, name);
    std::string usage = refusal.empty() ? std::string() : refusal + "\r\n\r\n";
    usage += head.data();
    if (solo) usage += text::usageNameOption;
    usage += text::usageOptions;
    if (solo) usage += text::usageNameText;
    usage += text::usageExitCodes;
    return usage;
}

}  // namespace setup
