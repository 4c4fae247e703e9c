// Conversions between UTF-8 and UTF-16LE byte strings, for platforms without a converter.
// Both refuse malformed input rather than guessing.
#pragma once

#include <string>

namespace platform {

bool utf16leToUtf8(const std::string& utf16, std::string* utf8);
bool utf8ToUtf16le(const std::string& utf8, std::string* utf16);
bool isValidUtf8(const std::string& text);

}  // namespace platform
