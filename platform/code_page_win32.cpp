#include "platform/code_page.h"
#include "platform/wide_text_win32.h"

namespace platform {

bool convertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage,
                 std::string* out) {
  out->clear();
  if (text.size() > 0x3FFFFFFF) return false;
  // Characters the target lacks make the conversion fail rather than be replaced.
  std::wstring wide;
  return wideFromText(text.data(), text.size(), fromCodePage, &wide, Unconvertible::kFail) &&
         textFromWide(wide.data(), wide.size(), toCodePage, out, Unconvertible::kFail);
}

}  // namespace platform
