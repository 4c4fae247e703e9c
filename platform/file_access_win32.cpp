#include <windows.h>

#include "platform/file_access.h"

namespace platform {

bool isReadOnlyFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_READONLY);
}

bool canKeepOwner(const std::string& /*path*/) {
  return true;
}

}  // namespace platform
