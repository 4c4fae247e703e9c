// Windows only: what the program asks of access tokens. The user a process runs as, read into a
// buffer the caller owns; and privileges enabled in this process's own token, as loading,
// unloading and saving registry hives need the backup and restore privileges. An account that
// does not hold them keeps going without; the hive call itself then fails with
// ERROR_PRIVILEGE_NOT_HELD. Every token opened here is closed before the function returns.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "platform/unique_handle_win32.h"

namespace platform {

// The user of process's token, in a buffer whose start is a TOKEN_USER (see tokenUserSid).
// False when it cannot be read.
inline bool tokenUser(HANDLE process, std::vector<unsigned char>* buffer) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
  UniqueHandle closer(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return false;
  buffer->assign(size, 0);
  return GetTokenInformation(token, TokenUser, buffer->data(), size, &size) != 0;
}

// The user's SID in a buffer tokenUser filled; it lives as long as the buffer.
inline PSID tokenUserSid(std::vector<unsigned char>& buffer) {
  return reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
}

// Enables those of the named privileges that the token holds.
inline void enablePrivileges(std::initializer_list<const char*> names) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  UniqueHandle closer(token);
  for (const char* name : names) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
}

inline void enableHivePrivileges() {
  enablePrivileges({"SeRestorePrivilege", "SeBackupPrivilege"});
}

}  // namespace platform
