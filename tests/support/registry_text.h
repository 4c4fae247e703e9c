// Registry-file text for fixtures: a name or string value with backslashes and quotes escaped,
// as the registry editor writes them between quotes. Header-only; nothing to free.
#pragma once

#include <string>

namespace test_support {

inline std::string registryEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace test_support
