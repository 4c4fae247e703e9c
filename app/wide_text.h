// Text at the boundary to the wide USER32 functions: the program holds its text in the ANSI
// code page (UTF-8 under the program's manifest), the windows show UTF-16. Every function
// returns a new string owned by the caller; nothing is cut short.
#pragma once

#include <windows.h>

#include <string>

// Text from the *A registry functions, in the ANSI code page, as UTF-16. Bytes the code
// page cannot decode become the replacement character.
std::wstring wideFromAnsi(const std::string& text);
// UTF-8 text (the program's output and the names it is given) as UTF-16.
std::wstring wideFromUtf8(const std::string& text);
// A string table entry of the program's own module, whole; empty when there is none.
std::wstring loadResourceString(int id);
