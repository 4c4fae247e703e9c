#include "platform/wide_text_win32.h"

#include <windows.h>

#include <climits>

namespace platform {

namespace {

bool isHighSurrogate(wchar_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(wchar_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Whether the units hold half of a surrogate pair, which UTF-8 cannot encode. Checked here
// because the system's own check (WC_ERR_INVALID_CHARS) is missing before Vista.
bool holdsLoneSurrogate(const wchar_t* wide, std::size_t length) {
  for (std::size_t at = 0; at < length; ++at) {
    if (isHighSurrogate(wide[at]) && at + 1 < length && isLowSurrogate(wide[at + 1]))
      ++at;
    else if (isHighSurrogate(wide[at]) || isLowSurrogate(wide[at]))
      return true;
  }
  return false;
}

}  // namespace

bool wideFromText(const char* text, std::size_t length, unsigned codePage, std::wstring* wide,
                  Unconvertible unconvertible) {
  wide->clear();
  if (length == 0) return true;
  if (length > static_cast<std::size_t>(INT_MAX)) return false;
  const DWORD flags = unconvertible == Unconvertible::kFail ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(length);
  const int needed = MultiByteToWideChar(codePage, flags, text, size, nullptr, 0);
  if (needed <= 0) return false;
  wide->assign(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(codePage, flags, text, size, &(*wide)[0], needed) != needed) {
    wide->clear();
    return false;
  }
  return true;
}

bool textFromWide(const wchar_t* wide, std::size_t length, unsigned codePage, std::string* text,
                  Unconvertible unconvertible) {
  text->clear();
  if (length == 0) return true;
  if (length > static_cast<std::size_t>(INT_MAX)) return false;
  const bool fail = unconvertible == Unconvertible::kFail;
  // The ANSI code page is UTF-8 where the manifest asks for it, and is then handled as UTF-8.
  if (codePage == CP_ACP) codePage = GetACP();
  if (fail && codePage == CP_UTF8 && holdsLoneSurrogate(wide, length)) return false;
  // UTF-8 has no default character: the flag must be null for it.
  BOOL defaultUsed = FALSE;
  BOOL* usedFlag = fail && codePage != CP_UTF8 ? &defaultUsed : nullptr;
  const int size = static_cast<int>(length);
  const int needed = WideCharToMultiByte(codePage, 0, wide, size, nullptr, 0, nullptr, usedFlag);
  if (needed <= 0 || defaultUsed) return false;
  text->assign(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(codePage, 0, wide, size, &(*text)[0], needed, nullptr, usedFlag) !=
          needed ||
      defaultUsed) {
    text->clear();
    return false;
  }
  return true;
}

}  // namespace platform
