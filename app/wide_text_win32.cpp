#include "app/wide_text.h"

#include <climits>

namespace {

std::wstring wideFrom(UINT codePage, const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
  const int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  int written = MultiByteToWideChar(codePage, 0, text.data(), length, &wide[0], needed);
  wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return wide;
}

}  // namespace

std::wstring wideFromAnsi(const std::string& text) {
  return wideFrom(CP_ACP, text);
}

std::wstring wideFromUtf8(const std::string& text) {
  return wideFrom(CP_UTF8, text);
}

std::wstring loadResourceString(int id) {
  // With a zero buffer size LoadStringW hands out the resource's own text and its length,
  // so the text is never cut to a buffer.
  const wchar_t* text = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                           reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}
