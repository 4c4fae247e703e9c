#include <windows.h>

#include "platform/safe_file.h"

namespace platform {

bool createUniqueFileBeside(const std::string& path, std::string* newPath) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
    return false;
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate =
        path + ".new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      newPath->swap(candidate);  // cannot fail, unlike a copy
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

bool flushFileToDisk(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL ok = FlushFileBuffers(file);
  return CloseHandle(file) && ok;
}

bool moveFileOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool removeFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

}  // namespace platform
