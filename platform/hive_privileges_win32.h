// Windows only: enables the backup and restore privileges in this process's token, as loading,
// unloading and saving registry hives need. An account that does not hold them keeps going
// without; the hive call itself then fails with ERROR_PRIVILEGE_NOT_HELD. Nothing to free.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace platform {

// Enables those of the named privileges that the token holds.
inline void enablePrivileges(std::initializer_list<const char*> names) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  for (const char* name : names) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

inline void enableHivePrivileges() {
  enablePrivileges({"SeRestorePrivilege", "SeBackupPrivilege"});
}

}  // namespace platform
