#pragma once

#include <string>

namespace setup::win32 {

// The seam carries Unicode text as UTF-8; the wide-character calls take UTF-16.
std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);

// A path for the wide-character file calls: an absolute drive path that does not fit
// MAX_PATH gets the \\?\ form (which takes backslashes only).
std::wstring widePath(const std::string& path);

}  // namespace setup::win32
