// A registry decorator for tests: forwards every call to another registry and records each
// openKey (root, path, access mask) so a test can check the views and rights asked for.
// The inner registry is borrowed, not owned; it must outlive the decorator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forwarding_registry.h"

namespace test_support {

class RecordingRegistry : public platform::ForwardingRegistry {
 public:
  struct Open {
    platform::RegRoot root;
    std::string path;
    std::uint32_t access;
    long result;
  };

  explicit RecordingRegistry(platform::Registry* inner) : platform::ForwardingRegistry(inner) {}

  const std::vector<Open>& opens() const { return opens_; }
  void clear() { opens_.clear(); }

  long openKey(platform::RegRoot root, const char* subKey, std::uint32_t access,
               platform::RegKey* key) override {
    long result = platform::ForwardingRegistry::openKey(root, subKey, access, key);
    opens_.push_back(Open{root, subKey ? subKey : "", access, result});
    return result;
  }

 private:
  std::vector<Open> opens_;
};

}  // namespace test_support
