// One user's registry seen as the current user's: HKEY_CURRENT_USER is HKEY_USERS\<hive>,
// everything else is the machine registry's. The machine registry is borrowed and must
// outlive the view; keys opened through the view are the machine registry's handles.
#pragma once

#include <string>

#include "platform/registry.h"

namespace platform {

class UserHiveView : public Registry {
 public:
  UserHiveView(Registry& machine, std::string hive) : machine_(machine), hive_(std::move(hive)) {}

  long openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    if (root != RegRoot::kCurrentUser) return machine_.openKey(root, subKey, access, key);
    std::string path = hive_;
    if (subKey && *subKey) path += "\\" + std::string(subKey);
    return machine_.openKey(RegRoot::kUsers, path.c_str(), access, key);
  }
  long queryValue(RegKey key, const char* name, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size) override {
    return machine_.queryValue(key, name, type, data, size);
  }
  long enumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) override {
    return machine_.enumKey(key, index, name, nameSize);
  }
  long enumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                 std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) override {
    return machine_.enumValue(key, index, name, nameSize, type, data, dataSize);
  }
  long setValue(RegKey key, const char* name, std::uint32_t type, const unsigned char* data,
                std::uint32_t size) override {
    return machine_.setValue(key, name, type, data, size);
  }
  long deleteValue(RegKey key, const char* name) override {
    return machine_.deleteValue(key, name);
  }
  long closeKey(RegKey key) override { return machine_.closeKey(key); }

 private:
  Registry& machine_;
  std::string hive_;
};

}  // namespace platform
