#include "platform/text_utf.h"

#include <cstdint>
#include <vector>

namespace platform {
namespace {

// Decodes utf8 into code points; false on malformed or overlong sequences and surrogates.
bool decodeUtf8(const std::string& utf8, std::vector<std::uint32_t>* points) {
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int extra;
    std::uint32_t point;
    if (c < 0x80) {
      extra = 0, point = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, point = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, point = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, point = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= utf8.size() && extra > 0) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    static const std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (point < kMinimum[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
      return false;
    if (points) points->push_back(point);
    i += extra + 1;
  }
  return true;
}

}  // namespace

bool isValidUtf8(const std::string& text) {
  return decodeUtf8(text, nullptr);
}

namespace {

bool isControl(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

}  // namespace

bool holdsControlCharacter(const std::string& text) {
  for (char c : text)
    if (isControl(c)) return true;
  return false;
}

std::string escapeControlCharacters(const std::string& text) {
  if (!holdsControlCharacter(text)) return text;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    if (!isControl(c)) {
      out += c;
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      const unsigned char byte = static_cast<unsigned char>(c);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

bool utf8ToUtf16le(const std::string& utf8, std::string* utf16) {
  std::vector<std::uint32_t> points;
  if (!decodeUtf8(utf8, &points)) return false;
  utf16->clear();
  auto put = [utf16](std::uint32_t unit) {
    *utf16 += static_cast<char>(unit & 0xFF);
    *utf16 += static_cast<char>(unit >> 8);
  };
  for (std::uint32_t point : points) {
    if (point >= 0x10000) {
      point -= 0x10000;
      put(0xD800 | (point >> 10));
      put(0xDC00 | (point & 0x3FF));
    } else {
      put(point);
    }
  }
  return true;
}

bool utf16leToUtf8(const std::string& utf16, std::string* utf8) {
  if (utf16.size() % 2) return false;
  utf8->clear();
  for (size_t i = 0; i < utf16.size(); i += 2) {
    std::uint32_t unit =
        static_cast<unsigned char>(utf16[i]) | (static_cast<unsigned char>(utf16[i + 1]) << 8);
    std::uint32_t point = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 >= utf16.size()) return false;
      std::uint32_t low = static_cast<unsigned char>(utf16[i + 2]) |
                          (static_cast<unsigned char>(utf16[i + 3]) << 8);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      point = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
    if (point < 0x80) {
      *utf8 += static_cast<char>(point);
    } else if (point < 0x800) {
      *utf8 += static_cast<char>(0xC0 | (point >> 6));
      *utf8 += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      *utf8 += static_cast<char>(0xE0 | (point >> 12));
      *utf8 += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      *utf8 += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      *utf8 += static_cast<char>(0xF0 | (point >> 18));
      *utf8 += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
      *utf8 += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      *utf8 += static_cast<char>(0x80 | (point & 0x3F));
    }
  }
  return true;
}

}  // namespace platform
