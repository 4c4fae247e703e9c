#include <windows.h>

#include "platform/environment.h"

namespace platform {

std::uint32_t expandEnvironmentStrings(const char* source, char* destination, std::uint32_t size) {
  return ExpandEnvironmentStringsA(source, destination, size);
}

}  // namespace platform
