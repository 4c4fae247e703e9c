#include <windows.h>
// windows.h first: the SID conversion needs its types.
#include <sddl.h>

#include <vector>

#include "platform/identity.h"
#include "platform/text_utf.h"

namespace platform {
namespace {

bool utf8OfWide(const wchar_t* text, size_t length, std::string* utf8) {
  return utf16leToUtf8(std::string(reinterpret_cast<const char*>(text), length * sizeof(wchar_t)),
                       utf8);
}

// The process token's user; empty when it cannot be read.
std::vector<unsigned char> tokenUser() {
  std::vector<unsigned char> buffer;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return buffer;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size >= sizeof(TOKEN_USER)) {
    buffer.resize(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) buffer.clear();
  }
  CloseHandle(token);
  return buffer;
}

}  // namespace

bool currentUserSid(std::string* sid) {
  std::vector<unsigned char> user = tokenUser();
  if (user.empty()) return false;
  char* text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text))
    return false;
  *sid = text;
  LocalFree(text);
  return true;
}

bool currentAccountName(std::string* name) {
  std::vector<unsigned char> user = tokenUser();
  if (user.empty()) return false;
  // Names of accounts and domains are at most 256 characters; a longer one fails, uncut.
  wchar_t account[257], domain[257];
  DWORD accountSize = 257, domainSize = 257;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, account,
                         &accountSize, domain, &domainSize, &use))
    return false;
  std::string accountText, domainText;
  if (!utf8OfWide(account, accountSize, &accountText) ||
      !utf8OfWide(domain, domainSize, &domainText))
    return false;
  *name = domainText.empty() ? accountText : domainText + "\\" + accountText;
  return true;
}

bool computerName(std::string* name) {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &size)) return false;
  return utf8OfWide(buffer, size, name);
}

unsigned long currentProcessId() {
  return GetCurrentProcessId();
}

}  // namespace platform
