#include <windows.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/program_path.h"
#include "platform/wide_text_win32.h"

namespace platform {

bool programPath(std::string* path) {
  // Long paths: the buffer grows until the whole name fits.
  for (DWORD size = MAX_PATH + 1; size <= 32768 * 2; size *= 2) {
    std::vector<wchar_t> buffer(size);
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return false;
    if (length < size)
      return textFromWide(buffer.data(), length, kCodePageUtf8, path, Unconvertible::kFail);
  }
  return false;
}

bool absolutePath(const std::string& path, std::string* absolute) {
  std::wstring wide;
  if (path.empty() ||
      !wideFromText(path.data(), path.size(), kCodePageUtf8, &wide, Unconvertible::kFail))
    return false;
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  std::vector<wchar_t> buffer(needed);
  DWORD length = GetFullPathNameW(wide.c_str(), needed, buffer.data(), nullptr);
  if (length == 0 || length >= needed) return false;
  return textFromWide(buffer.data(), length, kCodePageUtf8, absolute, Unconvertible::kFail);
}

}  // namespace platform
