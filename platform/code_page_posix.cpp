#include "platform/code_page.h"
#include "platform/text_utf.h"

namespace platform {

// The ANSI code page of this platform is UTF-8.
bool convertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage,
                 std::string* out) {
  auto known = [](unsigned cp) { return cp == kCodePageAnsi || cp == kCodePageUtf8; };
  if (!known(fromCodePage) || !known(toCodePage) || !isValidUtf8(text)) return false;
  *out = text;
  return true;
}

}  // namespace platform
