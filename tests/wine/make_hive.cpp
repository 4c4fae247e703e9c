// A test helper: saves the key HKEY_CURRENT_USER\<key> as a hive file (a user's NTUSER.DAT)
// and deletes the key. Usage: make_hive.exe KEY FILE; exits 0 when the hive was written.
#include <windows.h>

#include <cstdio>

#include "platform/hive_privileges_win32.h"

int main(int argc, char** argv) {
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
