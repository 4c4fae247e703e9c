#include <windows.h>
// windows.h first: the SID conversions need its types.
#include <sddl.h>

#include "platform/accounts.h"

namespace platform {

bool accountNameOfSid(const std::string& sid, std::string* name) {
  PSID binary = nullptr;
  if (!ConvertStringSidToSidA(sid.c_str(), &binary)) return false;
  char account[256], domain[256];
  DWORD accountSize = sizeof account, domainSize = sizeof domain;
  SID_NAME_USE use;
  bool found =
      LookupAccountSidA(nullptr, binary, account, &accountSize, domain, &domainSize, &use) != 0;
  LocalFree(binary);
  if (found) *name = account;
  return found;
}

void enableAllUsersPrivileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  for (const char* privilege :
       {"SeBackupPrivilege", "SeRestorePrivilege", "SeTakeOwnershipPrivilege"}) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, privilege, &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

}  // namespace platform
