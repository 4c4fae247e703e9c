// Conversions between UTF-8 and UTF-16LE byte strings, for platforms without a converter.
// Both refuse malformed input rather than guessing.
#pragma once

#include <string>

namespace platform {

bool utf16leToUtf8(const std::string& utf16, std::string* utf8);
bool utf8ToUtf16le(const std::string& utf8, std::string* utf16);
bool isValidUtf8(const std::string& text);

// Whether text holds a control character (below 0x20, or 0x7F).
bool holdsControlCharacter(const std::string& text);
// text with every control character written as an escape ("\t", "\n", "\r", "\x1B"), so
// that text from a user can neither end a line nor add a column to it.
std::string escapeControlCharacters(const std::string& text);

}  // namespace platform
