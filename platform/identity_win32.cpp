#include <windows.h>
// windows.h first: the SID conversion needs its types.
#include <sddl.h>

#include <vector>

#include "platform/access_token_win32.h"
#include "platform/code_page.h"
#include "platform/identity.h"
#include "platform/wide_text_win32.h"

namespace platform {

bool currentUserSid(std::string* sid) {
  std::vector<unsigned char> user;
  if (!tokenUser(GetCurrentProcess(), &user)) return false;
  char* text = nullptr;
  if (!ConvertSidToStringSidA(tokenUserSid(user), &text)) return false;
  *sid = text;
  LocalFree(text);
  return true;
}

bool currentAccountName(std::string* name) {
  std::vector<unsigned char> user;
  if (!tokenUser(GetCurrentProcess(), &user)) return false;
  // Names of accounts and domains are at most 256 characters; a longer one fails, uncut.
  wchar_t account[257], domain[257];
  DWORD accountSize = 257, domainSize = 257;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, tokenUserSid(user), account, &accountSize, domain, &domainSize,
                         &use))
    return false;
  std::string accountText, domainText;
  if (!textFromWide(account, accountSize, kCodePageUtf8, &accountText, Unconvertible::kFail) ||
      !textFromWide(domain, domainSize, kCodePageUtf8, &domainText, Unconvertible::kFail))
    return false;
  *name = domainText.empty() ? accountText : domainText + "\\" + accountText;
  return true;
}

bool computerName(std::string* name) {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &size)) return false;
  return textFromWide(buffer, size, kCodePageUtf8, name, Unconvertible::kFail);
}

unsigned long currentProcessId() {
  return GetCurrentProcessId();
}

}  // namespace platform
