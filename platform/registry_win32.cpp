#include <windows.h>

#include "platform/access_token_win32.h"
#include "platform/registry.h"

namespace platform {
namespace {

HKEY toHkey(RegKey key) {
  return reinterpret_cast<HKEY>(key);
}

HKEY rootHkey(RegRoot root) {
  switch (root) {
    case RegRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegRoot::kUsers:
      return HKEY_USERS;
    default:
      return HKEY_CURRENT_USER;
  }
}

class Win32Registry : public Registry {
 public:
  long openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(rootHkey(root), subKey, 0, access, &opened);
    if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
    return result;
  }
  long createKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    HKEY made = nullptr;
    LONG result = RegCreateKeyExA(rootHkey(root), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &made, nullptr);
    if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(made);
    return result;
  }
  long queryValue(RegKey key, const char* name, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size) override {
    DWORD valueType = 0, valueSize = size ? *size : 0;
    LONG result =
        RegQueryValueExA(toHkey(key), name, nullptr, &valueType, data, size ? &valueSize : nullptr);
    if (type) *type = valueType;
    if (size) *size = valueSize;
    return result;
  }
  long enumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) override {
    DWORD length = *nameSize;
    LONG result =
        RegEnumKeyExA(toHkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) *nameSize = length;
    return result;
  }
  long enumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                 std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) override {
    DWORD length = *nameSize, valueType = 0, valueSize = dataSize ? *dataSize : 0;
    LONG result = RegEnumValueA(toHkey(key), index, name, &length, nullptr, &valueType, data,
                                dataSize ? &valueSize : nullptr);
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      *nameSize = length;
      if (type) *type = valueType;
      if (dataSize) *dataSize = valueSize;
    }
    return result;
  }
  long setValue(RegKey key, const char* name, std::uint32_t type, const unsigned char* data,
                std::uint32_t size) override {
    return RegSetValueExA(toHkey(key), name, 0, type, data, size);
  }
  long deleteValue(RegKey key, const char* name) override {
    return RegDeleteValueA(toHkey(key), name);
  }
  long closeKey(RegKey key) override { return RegCloseKey(toHkey(key)); }
  long loadHive(const char* name, const char* file) override {
    enableHivePrivileges();
    return RegLoadKeyA(HKEY_USERS, name, file);
  }
  long unloadHive(const char* name) override {
    enableHivePrivileges();
    return RegUnLoadKeyA(HKEY_USERS, name);
  }
};

}  // namespace

std::unique_ptr<Registry> openSystemRegistry() {
  return std::make_unique<Win32Registry>();
}

}  // namespace platform
