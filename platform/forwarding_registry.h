// A registry decorator: forwards every call to another registry. Decorators derive from it and
// override only the calls they change or watch.
// The inner registry is borrowed, not owned; it must outlive the decorator.
#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace platform {

class ForwardingRegistry : public Registry {
 public:
  explicit ForwardingRegistry(Registry* inner) : inner_(inner) {}

  long openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    return inner_->openKey(root, subKey, access, key);
  }
  long createKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override {
    return inner_->createKey(root, subKey, access, key);
  }
  long queryValue(RegKey key, const char* name, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size) override {
    return inner_->queryValue(key, name, type, data, size);
  }
  long enumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) override {
    return inner_->enumKey(key, index, name, nameSize);
  }
  long enumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                 std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) override {
    return inner_->enumValue(key, index, name, nameSize, type, data, dataSize);
  }
  long setValue(RegKey key, const char* name, std::uint32_t type, const unsigned char* data,
                std::uint32_t size) override {
    return inner_->setValue(key, name, type, data, size);
  }
  long deleteValue(RegKey key, const char* name) override { return inner_->deleteValue(key, name); }
  long closeKey(RegKey key) override { return inner_->closeKey(key); }
  long loadHive(const char* name, const char* file) override {
    return inner_->loadHive(name, file);
  }
  long unloadHive(const char* name) override { return inner_->unloadHive(name); }

 private:
  Registry* inner_;
};

}  // namespace platform
