// Registry access with the semantics of the ANSI Reg*A functions of ADVAPI32.
//
// One interface, two implementations: registry_win32.cpp calls the real API,
// registry_posix.cpp keeps the registry in a text file in the registry editor's
// export format. Keys handed out by openKey belong to the caller until closeKey.
// Every operation returns a Windows error code (0 on success).
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

using RegKey = std::uintptr_t;

// Predefined roots, with the values Windows gives them.
enum class RegRoot : std::uint32_t {
  kCurrentUser = 0x80000001u,
  kLocalMachine = 0x80000002u,
  kUsers = 0x80000003u,
};

// Error codes.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorBadPathname = 161;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorCallNotImplemented = 120;
constexpr long kErrorAlreadyExists = 183;
// Of the substitute registry file (an application-defined code): the file was changed by
// somebody else since it was read, and the change was not written.
constexpr long kErrorChangedDuringRun = 0x20000001L;

// Value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

// Access masks and view bits.
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA: subKey is a path of '\'-separated names below root.
  virtual long openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) = 0;
  // RegCreateKeyExA: opens the key, made with its missing parents first.
  virtual long createKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) {
    (void)root;
    (void)subKey;
    (void)access;
    (void)key;
    return kErrorCallNotImplemented;
  }
  // RegQueryValueExA: *size is the buffer size in bytes on entry and the value's size on
  // return; kErrorMoreData when the buffer is too small (the buffer is then not valid).
  // type and data may be null.
  virtual long queryValue(RegKey key, const char* name, std::uint32_t* type, unsigned char* data,
                          std::uint32_t* size) = 0;
  // RegEnumKeyExA: *nameSize is the buffer size in characters (terminator included) on
  // entry and the name's length (without terminator) on success.
  virtual long enumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) = 0;
  // RegEnumValueA: name as for enumKey; *dataSize in bytes as for queryValue.
  virtual long enumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                         std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) = 0;
  // RegSetValueExA: size counts the terminating zero of string data.
  virtual long setValue(RegKey key, const char* name, std::uint32_t type, const unsigned char* data,
                        std::uint32_t size) = 0;
  // RegDeleteValueA.
  virtual long deleteValue(RegKey key, const char* name) = 0;
  // RegCloseKey.
  virtual long closeKey(RegKey key) = 0;
  // RegLoadKeyA below HKEY_USERS: the hive in file (a user's NTUSER.DAT) becomes the key
  // HKEY_USERS\name until unloadHive(name). Asks for the backup and restore privileges first.
  virtual long loadHive(const char* name, const char* file) {
    (void)name;
    (void)file;
    return kErrorCallNotImplemented;
  }
  // RegUnLoadKeyA below HKEY_USERS; every key opened in the hive must be closed first.
  virtual long unloadHive(const char* name) {
    (void)name;
    return kErrorCallNotImplemented;
  }
};

// The registry of this platform: ADVAPI32 on Windows; on POSIX the registry file named by
// NORVEX_EXPRESS_REGISTRY (or the default under the user's configuration folder).
std::unique_ptr<Registry> openSystemRegistry();

}  // namespace platform
