// A registry decorator for tests: forwards every call to another registry and counts the
// calls that change it (setValue and deleteValue). From a chosen change on, those calls fail
// without reaching the inner registry, as when a write fails or the run is killed there.
// The inner registry is borrowed, not owned; it must outlive the decorator.
#pragma once

#include <cstdint>

#include "platform/forwarding_registry.h"

namespace test_support {

class FailingRegistry : public platform::ForwardingRegistry {
 public:
  explicit FailingRegistry(platform::Registry* inner) : platform::ForwardingRegistry(inner) {}

  // Changes numbered from first on (1 is the first change from now) fail; 0 fails none.
  void failFrom(int first) {
    changes_ = 0;
    failFrom_ = first;
  }
  int changes() const { return changes_; }  // changes asked for, failed ones included

  long setValue(platform::RegKey key, const char* name, std::uint32_t type,
                const unsigned char* data, std::uint32_t size) override {
    if (fails()) return platform::kErrorAccessDenied;
    return platform::ForwardingRegistry::setValue(key, name, type, data, size);
  }
  long deleteValue(platform::RegKey key, const char* name) override {
    if (fails()) return platform::kErrorAccessDenied;
    return platform::ForwardingRegistry::deleteValue(key, name);
  }

 private:
  bool fails() { return ++changes_ >= failFrom_ && failFrom_ > 0; }

  int changes_ = 0;
  int failFrom_ = 0;
};

}  // namespace test_support
