#include <windows.h>
// After windows.h.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <string>

#include "app/console_output.h"
#include "app/czech_texts.h"
#include "platform/code_page.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace {

// Where the output goes, found at the first write: the handle the program was started with
// when it is a pipe, a file or a device (UTF-8 bytes; UTF-16 to a console), else the parent's
// console (UTF-16), else nowhere.
struct Destination {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool console = false;
};

// A standard handle the program was started with, when it leads somewhere.
bool standardDestination(DWORD which, Destination* destination) {
  HANDLE standard = GetStdHandle(which);
  if (!standard || standard == INVALID_HANDLE_VALUE) return false;
  DWORD type = GetFileType(standard), mode = 0;
  if (type != FILE_TYPE_PIPE && type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) return false;
  // A character device is a console only when it has a console mode (NUL has none).
  destination->handle = standard;
  destination->console = type == FILE_TYPE_CHAR && GetConsoleMode(standard, &mode);
  return true;
}

// The parent's console, attached once for both streams.
Destination parentConsole() {
  Destination destination;
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
    return destination;  // ERROR_ACCESS_DENIED: already attached to one
  destination.handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  destination.console = destination.handle != INVALID_HANDLE_VALUE;
  return destination;
}

Destination findDestination(DWORD which) {
  Destination destination;
  if (standardDestination(which, &destination)) return destination;
  static const Destination console = parentConsole();
  return console;
}

// Writes count units from data in pieces of at most piece units through write(units, size,
// written), which may take less than it was given; false when it fails or takes nothing.
template <typename Unit, typename Write>
bool writeWhole(const Unit* data, size_t count, size_t piece, Write write) {
  for (size_t done = 0; done < count;) {
    DWORD written = 0;
    if (!write(data + done, static_cast<DWORD>(std::min(count - done, piece)), &written) ||
        written == 0)
      return false;
    done += written;
  }
  return true;
}

bool writeTo(const Destination& destination, const std::string& text) {
  if (destination.handle == INVALID_HANDLE_VALUE) return false;
  if (destination.console) {
    // Lines end in CR LF on the console; the text holds LF only.
    std::string lines;
    for (char c : text) {
      if (c == '\n') lines += '\r';
      lines += c;
    }
    std::wstring wide;
    platform::wideFromText(lines.data(), lines.size(), platform::kCodePageUtf8, &wide,
                           platform::Unconvertible::kReplace);
    return writeWhole(wide.data(), wide.size(), 8192,
                      [&](const wchar_t* units, DWORD size, DWORD* written) {
                        return WriteConsoleW(destination.handle, units, size, written, nullptr);
                      });
  }
  return writeWhole(text.data(), text.size(), 65536,
                    [&](const char* bytes, DWORD size, DWORD* written) {
                      return WriteFile(destination.handle, bytes, size, written, nullptr);
                    });
}

// The system's text for an error code, with the code; the code alone when it has no text.
std::string systemErrorText(DWORD error) {
  wchar_t text[512];
  // FormatMessageW fails rather than cut a text that does not fit.
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, 512, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L' ' || text[length - 1] == L'.'))
    --length;
  std::string utf8;
  platform::textFromWide(text, length, platform::kCodePageUtf8, &utf8,
                         platform::Unconvertible::kReplace);
  return (utf8.empty() ? std::string() : utf8 + " ") + "(" + std::to_string(error) + ")";
}

}  // namespace

bool writeStandardOutput(const std::string& text) {
  static const Destination destination = findDestination(STD_OUTPUT_HANDLE);
  return writeTo(destination, text);
}

// A GUI program typed at a prompt has no standard error of its own: the parent's console then
// shows what it says, as it shows the output.
bool writeStandardError(const std::string& text) {
  static const Destination destination = findDestination(STD_ERROR_HANDLE);
  return writeTo(destination, text);
}

// Only a regular file with one name is taken, and a reparse point (a link or a junction) is
// opened itself and refused: a planted link would make a privileged run append to a file of
// the planter's choice.
std::FILE* openFileForAppend(const std::string& path, std::string* reason) {
  std::wstring wide;
  if (!platform::wideFromText(path.data(), path.size(), platform::kCodePageUtf8, &wide,
                              platform::Unconvertible::kReplace) ||
      wide.empty()) {
    *reason = systemErrorText(ERROR_INVALID_NAME);
    return nullptr;
  }
  // Append rights only: every write goes to the end, wherever the file pointer stands.
  platform::UniqueHandle owner(
      CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!owner.valid()) {
    *reason = systemErrorText(GetLastError());
    return nullptr;
  }
  const HANDLE handle = owner.get();
  BY_HANDLE_FILE_INFORMATION info = {};
  bool ok = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
            !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
            info.nNumberOfLinks == 1;
  if (!ok)
    *reason = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? NVX_TEXT_LOG_IS_LINK
              : info.nNumberOfLinks > 1                            ? NVX_TEXT_LOG_MANY_NAMES
                                                                   : NVX_TEXT_LOG_NOT_REGULAR;
  ULONGLONG size = (ULONGLONG{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (ok && size > 0) {
    // A run cut off in the middle of a line: the next line begins on its own.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(size - 1);
    at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
    char last = '\n';
    DWORD got = 0, written = 0;
    if (ReadFile(handle, &last, 1, &got, &at) && got == 1 && last != '\n')
      ok = WriteFile(handle, "\n", 1, &written, nullptr) && written == 1;
    if (!ok) *reason = systemErrorText(GetLastError());
  }
  int fd = ok ? _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY) : -1;
  if (fd < 0) {
    if (ok) *reason = systemErrorText(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  owner.release();  // the descriptor owns it now
  std::FILE* file = _fdopen(fd, "ab");
  if (!file) {
    *reason = systemErrorText(ERROR_NOT_ENOUGH_MEMORY);
    _close(fd);
  }
  return file;
}

std::string lastWriteError() {
  // The C library's write sets errno; GetLastError holds the system's own reason.
  return systemErrorText(GetLastError());
}
