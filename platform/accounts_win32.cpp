#include <windows.h>
// windows.h first: the SID conversions need its types.
#include <sddl.h>

#include "platform/access_token_win32.h"
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
  enablePrivileges({"SeBackupPrivilege", "SeRestorePrivilege", "SeTakeOwnershipPrivilege"});
}

}  // namespace platform
