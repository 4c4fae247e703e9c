// A test helper: saves the key HKEY_CURRENT_USER\<key> as a hive file (a user's NTUSER.DAT)
// and deletes the key. Usage: make_hive.exe KEY FILE; exits 0 when the hive was written.
// make_hive.exe --owner FILE SID gives the file that owner instead, as the user's own files
// have on Windows.
#include <windows.h>
// windows.h first: the security functions need its types.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#include "platform/access_token_win32.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--owner") {
    PSID owner = nullptr;
    if (!ConvertStringSidToSidA(argv[3], &owner)) return 1;
    DWORD result = SetNamedSecurityInfoA(argv[2], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner,
                                         nullptr, nullptr, nullptr);
    LocalFree(owner);
    if (result != ERROR_SUCCESS) std::fprintf(stderr, "cannot own %s: %lu\n", argv[2], result);
    return result == ERROR_SUCCESS ? 0 : 1;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_hive KEY FILE\n");
    return 64;
  }
  platform::enableHivePrivileges();
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, argv[1], 0, KEY_ALL_ACCESS, &key);
  if (result != ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot open %s: %ld\n", argv[1], result);
    return 1;
  }
  DeleteFileA(argv[2]);
  result = RegSaveKeyA(key, argv[2], nullptr);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot save %s: %ld\n", argv[2], result);
    return 1;
  }
  // With a subkey named, the tree goes with the key itself.
  return RegDeleteTreeA(HKEY_CURRENT_USER, argv[1]) == ERROR_SUCCESS ? 0 : 1;
}
