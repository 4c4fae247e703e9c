// A registry decorator for tests: forwards every call to another registry and records each
// openKey (root, path, access mask) so a test can check the views and rights asked for.
// The inner registry is borrowed, not owned; it must outlive the decorator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace testsupport {

class RecordingRegistry : public platform::Registry {
 public:
  struct Open {
    platform::RegRoot root;
    std::string path;
    std::uint32_t access;
    long result;
  };

  explicit RecordingRegistry(platform::Registry* inner) : inner_(inner) {}

  const std::vector<Open>& opens() const { return opens_; }
  void clear() { opens_.clear(); }

  long openKey(platform::RegRoot root, const char* subKey, std::uint32_t access,
               platform::RegKey* key) override {
    long result = inner_->openKey(root, subKey, access, key);
    opens_.push_back(Open{root, subKey ? subKey : "", access, result});
    return result;
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

 private:
  platform::Registry* inner_;
  std::vector<Open> opens_;
};

}  // namespace testsupport
