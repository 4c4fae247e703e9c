#include <windows.h>

#include <vector>

#include "platform/code_page.h"

namespace platform {

bool convertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage,
                 std::string* out) {
  if (text.empty()) {
    out->clear();
    return true;
  }
  if (text.size() > 0x3FFFFFFF) return false;
  int length = static_cast<int>(text.size());
  int wideLength =
      MultiByteToWideChar(fromCodePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return false;
  std::vector<wchar_t> wide(wideLength);
  if (MultiByteToWideChar(fromCodePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                          wideLength) != wideLength)
    return false;
  // Characters the target lacks make the conversion fail rather than be replaced.
  BOOL defaultUsed = FALSE;
  BOOL* usedFlag = toCodePage == CP_UTF8 ? nullptr : &defaultUsed;
  int outLength =
      WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, usedFlag);
  if (outLength <= 0 || defaultUsed) return false;
  out->assign(static_cast<size_t>(outLength), '\0');
  if (WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, &(*out)[0], outLength, nullptr,
                          usedFlag) != outLength ||
      defaultUsed)
    return false;
  return true;
}

}  // namespace platform
