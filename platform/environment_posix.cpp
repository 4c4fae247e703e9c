#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/environment.h"

extern char** environ;

namespace platform {

// Windows names compare without regard to case; an exact match wins.
bool processEnvironmentVariable(const std::string& name, std::string* value) {
  if (const char* exact = std::getenv(name.c_str())) {
    *value = exact;
    return true;
  }
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (!equals || static_cast<size_t>(equals - *entry) != name.size()) continue;
    if (strncasecmp(*entry, name.c_str(), name.size()) == 0) {
      *value = equals + 1;
      return true;
    }
  }
  return false;
}

std::uint32_t expandEnvironmentStrings(const char* source, char* destination, std::uint32_t size) {
  if (!source) return 0;
  std::string out = UserEnvironment().expand(source);
  std::uint32_t needed = static_cast<std::uint32_t>(out.size() + 1);
  if (destination && size >= needed) std::memcpy(destination, out.c_str(), needed);
  return needed;
}

}  // namespace platform
