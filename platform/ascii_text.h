// Comparison and lower-casing that touch the ASCII letters only, so that UTF-8 and ANSI text
// of any code page pass through unchanged. Header-only; nothing to free.
#pragma once

#include <string>
#include <string_view>

namespace platform {

inline char lowerAsciiLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

inline std::string lowerAscii(std::string text) {
  for (char& c : text) c = lowerAsciiLetter(c);
  return text;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAsciiLetter(a[i]) != lowerAsciiLetter(b[i])) return false;
  return true;
}

}  // namespace platform
