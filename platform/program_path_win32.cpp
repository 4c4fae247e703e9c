#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/program_path.h"
#include "platform/text_utf.h"

namespace platform {
namespace {

bool wideToUtf8(const wchar_t* text, size_t length, std::string* utf8) {
  return utf16leToUtf8(std::string(reinterpret_cast<const char*>(text), length * sizeof(wchar_t)),
                       utf8);
}

}  // namespace

bool programPath(std::string* path) {
  // Long paths: the buffer grows until the whole name fits.
  for (DWORD size = MAX_PATH + 1; size <= 32768 * 2; size *= 2) {
    std::vector<wchar_t> buffer(size);
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return false;
    if (length < size) return wideToUtf8(buffer.data(), length, path);
  }
  return false;
}

bool absolutePath(const std::string& path, std::string* absolute) {
  std::string utf16;
  if (path.empty() || !utf8ToUtf16le(path, &utf16)) return false;
  std::wstring wide(utf16.size() / sizeof(wchar_t), L'\0');
  if (!utf16.empty()) std::memcpy(&wide[0], utf16.data(), utf16.size());
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  std::vector<wchar_t> buffer(needed);
  DWORD length = GetFullPathNameW(wide.c_str(), needed, buffer.data(), nullptr);
  if (length == 0 || length >= needed) return false;
  return wideToUtf8(buffer.data(), length, absolute);
}

}  // namespace platform
