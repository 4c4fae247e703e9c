// Windows only: the one conversion of text at the boundary to the wide (UTF-16) functions of
// Windows. The program holds its text in a code page (kCodePageAnsi or kCodePageUtf8 of
// code_page.h, or any other the system knows); these give it to the wide functions and take
// their answers back. Each fills a string the caller owns, whole or not at all: on failure the
// result is false and the string empty; nothing is ever cut short.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// What a conversion makes of a character the other side cannot hold: bytes the code page
// cannot decode, a character the code page lacks, half of a surrogate pair.
enum class Unconvertible {
  kFail,
  kReplace,  // the code page's stand-in takes its place (U+FFFD to and from UTF-8)
};

// The UTF-16 form of length bytes of text in codePage.
bool wideFromText(const char* text, std::size_t length, unsigned codePage, std::wstring* wide,
                  Unconvertible unconvertible);
// The text in codePage of length UTF-16 units.
bool textFromWide(const wchar_t* wide, std::size_t length, unsigned codePage, std::string* text,
                  Unconvertible unconvertible);

}  // namespace platform
