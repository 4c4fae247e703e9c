// Test helper run under Wine beside the program: writes every visible top-level window with
// its children to standard output in UTF-8, one line each, read back through the wide
// functions:
//   window <tab> class <tab> title
//   control <tab> id <tab> class <tab> text <tab> enabled|disabled
//   item <tab> index <tab> text <tab> selected|-        (the entries of a list box)
// The first line gives the helper's own ANSI code page: codepage <tab> number.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
  return out;
}

std::wstring windowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, L'\0');
  int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

std::wstring className(HWND window) {
  wchar_t name[256] = {0};
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string output;

void listBoxItems(HWND list) {
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) continue;
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()));
    output += "item\t" + std::to_string(i) + "\t" + utf8(buffer.data()) + "\t" +
              (i == selected ? "selected" : "-") + "\n";
  }
}

BOOL CALLBACK onChild(HWND child, LPARAM) {
  std::wstring kind = className(child);
  output += "control\t" + std::to_string(GetDlgCtrlID(child)) + "\t" + utf8(kind) + "\t" +
            utf8(windowText(child)) + "\t" + (IsWindowEnabled(child) ? "enabled" : "disabled") +
            "\n";
  if (lstrcmpiW(kind.c_str(), L"ListBox") == 0) listBoxItems(child);
  return TRUE;
}

BOOL CALLBACK onWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  output += "window\t" + utf8(className(window)) + "\t" + utf8(windowText(window)) + "\n";
  EnumChildWindows(window, onChild, 0);
  return TRUE;
}

}  // namespace

int main() {
  output = "codepage\t" + std::to_string(GetACP()) + "\n";
  EnumWindows(onWindow, 0);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), output.data(), static_cast<DWORD>(output.size()),
            &written, nullptr);
  return 0;
}
