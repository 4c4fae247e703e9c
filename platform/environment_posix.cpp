#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/environment.h"

extern char** environ;

namespace platform {
namespace {

// Windows names compare without regard to case; an exact match wins.
const char* lookUp(const std::string& name) {
  if (const char* exact = std::getenv(name.c_str())) return exact;
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (!equals || static_cast<size_t>(equals - *entry) != name.size()) continue;
    if (strncasecmp(*entry, name.c_str(), name.size()) == 0) return equals + 1;
  }
  return nullptr;
}

}  // namespace

std::uint32_t expandEnvironmentStrings(const char* source, char* destination, std::uint32_t size) {
  if (!source) return 0;
  std::string out;
  const char* p = source;
  while (*p) {
    const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
    if (close && close > p + 1) {
      std::string name(p + 1, close);
      if (const char* value = lookUp(name)) {
        out += value;
        p = close + 1;
        continue;
      }
      // Unknown: keep the text up to the closing %, which may open the next reference.
      out.append(p, close);
      p = close;
      continue;
    }
    out += *p++;
  }
  std::uint32_t needed = static_cast<std::uint32_t>(out.size() + 1);
  if (destination && size >= needed) std::memcpy(destination, out.c_str(), needed);
  return needed;
}

}  // namespace platform
