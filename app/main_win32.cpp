// The Windows program: a GUI-subsystem process whose arguments are split from the wide
// command line, as the shell splits them, and held in UTF-8.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/norvex_express_app.h"
#include "platform/code_page.h"
#include "platform/wide_text_win32.h"

namespace {

// A terminated wide text as UTF-8; half of a surrogate pair becomes U+FFFD.
bool utf8FromWide(const wchar_t* wide, std::string* text) {
  return platform::textFromWide(wide, std::wcslen(wide), platform::kCodePageUtf8, text,
                                platform::Unconvertible::kReplace);
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
  std::string whole;
  if (utf8FromWide(GetCommandLineW(), &whole)) app.SetCommandLine(whole);
  std::vector<std::string> arguments;
  // Without the wide form, the narrow one, split by the same rules.
  if (!programArguments(&arguments)) return app.InitInstance(commandLine ? commandLine : "");
  return app.InitInstance(arguments);
}
