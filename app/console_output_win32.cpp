#include <windows.h>

#include <algorithm>
#include <climits>

#include "app/console_output.h"
#include "app/wide_text.h"

namespace {

// Where the output goes, found at the first write: the handle the program was started with
// when it is a pipe, a file or a device (UTF-8 bytes; UTF-16 to a console), else the parent's
// console (UTF-16), else nowhere.
struct Destination {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool console = false;
};

Destination findDestination() {
  Destination destination;
  HANDLE standard = GetStdHandle(STD_OUTPUT_HANDLE);
  if (standard && standard != INVALID_HANDLE_VALUE) {
    DWORD type = GetFileType(standard), mode = 0;
    if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK || type == FILE_TYPE_CHAR) {
      // A character device is a console only when it has a console mode (NUL has none).
      destination.handle = standard;
      destination.console = type == FILE_TYPE_CHAR && GetConsoleMode(standard, &mode);
      return destination;
    }
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
    return destination;  // ERROR_ACCESS_DENIED: already attached to one
  destination.handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  destination.console = destination.handle != INVALID_HANDLE_VALUE;
  return destination;
}

}  // namespace

bool writeStandardOutput(const std::string& text) {
  static const Destination destination = findDestination();
  if (destination.handle == INVALID_HANDLE_VALUE) return false;
  if (destination.console) {
    // Lines end in CR LF on the console; the text holds LF only.
    std::string lines;
    for (char c : text) {
      if (c == '\n') lines += '\r';
      lines += c;
    }
    std::wstring wide = wideFromUtf8(lines);
    for (size_t done = 0; done < wide.size();) {
      DWORD written = 0;
      DWORD piece = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
      if (!WriteConsoleW(destination.handle, wide.data() + done, piece, &written, nullptr) ||
          written == 0)
        return false;
      done += written;
    }
    return true;
  }
  for (size_t done = 0; done < text.size();) {
    DWORD written = 0;
    DWORD piece = static_cast<DWORD>(std::min<size_t>(text.size() - done, 65536));
    if (!WriteFile(destination.handle, text.data() + done, piece, &written, nullptr) ||
        written == 0)
      return false;
    done += written;
  }
  return true;
}

std::FILE* openFileForAppend(const std::string& path) {
  std::wstring wide = wideFromUtf8(path);
  if (wide.empty()) return nullptr;
  return _wfopen(wide.c_str(), L"ab");
}
