// A registry decorator for tests: forwards every call to another registry and counts the
// calls that change it (setValue and deleteValue). From a chosen change on, those calls fail
// without reaching the inner registry, as when a write fails or the run is killed there.
// The inner registry is borrowed, not owned; it must outlive the decorator.
#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace testsupport {

class FailingRegistry : public platform::Registry {
 public:
  explicit FailingRegistry(platform::Registry* inner) : inner_(inner) {}

  // Changes numbered from first on (1 is the first change from now) fail; 0 fails none.
  void failFrom(int first) {
    changes_ = 0;
    failFrom_ = first;
  }
  int changes() const { return changes_; }  // changes asked for, failed ones included

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
    if (fails()) return platform::kErrorAccessDenied;
    return inner_->setValue(key, name, type, data, size);
  }
  long deleteValue(platform::RegKey key, const char* name) override {
    if (fails()) return platform::kErrorAccessDenied;
    return inner_->deleteValue(key, name);
  }
  long closeKey(platform::RegKey key) override { return inner_->closeKey(key); }

 private:
  bool fails() { return ++changes_ >= failFrom_ && failFrom_ > 0; }

  platform::Registry* inner_;
  int changes_ = 0;
  int failFrom_ = 0;
};

}  // namespace testsupport
