// A registry key opened for one scope: opened by the constructor, closed by the destructor.
// The registry is borrowed and must outlive the key.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

class RegistryKey {
 public:
  RegistryKey(platform::Registry& registry, platform::RegRoot root, const std::string& path,
              std::uint32_t access)
      : registry_(registry), error_(registry.openKey(root, path.c_str(), access, &key_)) {}
  ~RegistryKey() {
    if (isOpen()) registry_.closeKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool isOpen() const { return error_ == platform::kErrorSuccess; }
  long error() const { return error_; }  // the open's error code
  platform::RegKey get() const { return key_; }

 private:
  platform::Registry& registry_;
  platform::RegKey key_ = 0;
  long error_;
};
