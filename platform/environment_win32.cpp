#include <windows.h>

#include <vector>

#include "platform/environment.h"

namespace platform {

std::uint32_t expandEnvironmentStrings(const char* source, char* destination, std::uint32_t size) {
  return ExpandEnvironmentStringsA(source, destination, size);
}

bool processEnvironmentVariable(const std::string& name, std::string* value) {
  std::vector<char> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length =
        GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value->clear();  // set and empty
      return true;
    }
    if (length < buffer.size()) {
      value->assign(buffer.data(), length);
      return true;
    }
    buffer.resize(length);
  }
}

}  // namespace platform
