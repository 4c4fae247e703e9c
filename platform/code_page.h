// Conversion of text between code pages.
#pragma once

#include <string>

namespace platform {

constexpr unsigned kCodePageAnsi = 0;  // the process's ANSI code page
constexpr unsigned kCodePageUtf8 = 65001;

// Converts text from one code page to another; false when the text is not valid in the
// source code page or cannot be converted. Never cuts the result.
bool convertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage,
                 std::string* out);

}  // namespace platform
