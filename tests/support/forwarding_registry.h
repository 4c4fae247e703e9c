// A registry decorator for tests: forwards every call to another registry. Test decorators
// derive from it and override only the calls they watch or change.
// The inner registry is borrowed, not owned; it must outlive the decorator.
#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace testsupport {

class ForwardingRegistry : public platform::Registry {
 public:
  explicit ForwardingRegistry(platform::Registry* inner) : inner_(inner) {}

  long openKey(platform::RegRoot root, const char* subKey, std::uint32_t access,
               platform::RegKey* key) override {
    return inner_->openKey(root, subKey, access, key);
  }
  long queryValue(platform::RegKey key, const char* name, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size) override {
    return inner_->queryValue(key, name, type, data, size);
  }
  long enumKey(platform::RegKey key, std::uint32_t index, char* name,
               std::uint32_t* nameSize) override {
    return inner_->enumKey(key, index, name, nameSize);
  }
  long enumValue(platform::RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                 std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) override {
    return inner_->enumValue(key, index, name, nameSize, type, data, dataSize);
  }
  long setValue(platform::RegKey key, const char* name, std::uint32_t type,
                const unsigned char* data, std::uint32_t size) override {
    return inner_->setValue(key, name, type, data, size);
  }
  long deleteValue(platform::RegKey key, const char* name) override {
    return inner_->deleteValue(key, name);
  }
  long closeKey(platform::RegKey key) override { return inner_->closeKey(key); }
  long loadHive(const char* name, const char* file) override {
    return inner_->loadHive(name, file);
  }
  long unloadHive(const char* name) override { return inner_->unloadHive(name); }

 private:
  platform::Registry* inner_;
};

}  // namespace testsupport
