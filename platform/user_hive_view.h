// One user's registry seen as the current user's: HKEY_CURRENT_USER is HKEY_USERS\<hive>,
// everything else is the machine registry's. The machine registry is borrowed and must
// outlive the view; keys opened through the view are the machine registry's handles.
#pragma once

#include <string>

#include "platform/forwarding_registry.h"

namespace platform {

class UserHiveView : public ForwardingRegistry {
 public:
  UserHiveView(Registry& machine, std::string hive)
      : ForwardingRegistry(&machine), hive_(std::move(hive)) {}

  long openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    if (root != RegRoot::kCurrentUser)
      return ForwardingRegistry::openKey(root, subKey, access, key);
    return ForwardingRegistry::openKey(RegRoot::kUsers, inHive(subKey).c_str(), access, key);
  }
  long createKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    if (root != RegRoot::kCurrentUser)
      return ForwardingRegistry::createKey(root, subKey, access, key);
    return ForwardingRegistry::createKey(RegRoot::kUsers, inHive(subKey).c_str(), access, key);
  }

 private:
  std::string inHive(const char* subKey) const {
    std::string path = hive_;
    if (subKey && *subKey) path += "\\" + std::string(subKey);
    return path;
  }
  std::string hive_;
};

}  // namespace platform
