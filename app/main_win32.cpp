// The Windows program: a GUI-subsystem process whose arguments are split from the wide
// command line, as the shell splits them, and held in UTF-8.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <climits>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/norvex_express_app.h"

namespace {

bool utf8FromWide(const wchar_t* wide, std::string* text) {
  text->clear();
  if (!*wide) return true;
  int needed = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 1) return false;
  std::vector<char> buffer(static_cast<size_t>(needed));
  if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer.data(), needed, nullptr, nullptr) != needed)
    return false;
  text->assign(buffer.data(), static_cast<size_t>(needed - 1));
  return true;
}

// The arguments after the program's name; false when they cannot be had whole.
bool programArguments(std::vector<std::string>* arguments) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return false;
  bool ok = true;
  for (int i = 1; i < count && ok; ++i) {
    std::string argument;
    ok = utf8FromWide(wide[i], &argument);
    arguments->push_back(argument);
  }
  LocalFree(wide);
  return ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  CNorvexExpressApp app(platform::openSystemRegistry());
  std::vector<std::string> arguments;
  if (!programArguments(&arguments)) {
    // Without the wide form, the narrow one split by the same rules.
    arguments = splitCommandLine(commandLine ? commandLine : "");
  }
  std::string whole;
  if (utf8FromWide(GetCommandLineW(), &whole)) app.SetCommandLine(whole);
  return app.InitInstance(arguments);
}
