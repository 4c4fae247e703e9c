// Expansion of %NAME% environment references, in this process's environment or in another
// user's, given as a table of names. Plain values; nothing to free.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace platform {

// As ExpandEnvironmentStringsA: writes the expansion of source into destination (size
// characters) and returns the number of characters the whole expansion needs, terminator
// included. A result larger than size means the destination does not hold the expansion.
// Returns 0 on failure. Unknown names stay as written; "%%" is not special.
std::uint32_t expandEnvironmentStrings(const char* source, char* destination, std::uint32_t size);

// This process's variable name (compared without regard to ASCII case); false when unset.
bool processEnvironmentVariable(const std::string& name, std::string* value);

// The environment of one user: its own variables, then this process's (the machine's).
class UserEnvironment {
 public:
  // Names compare without regard to ASCII case; a later set wins.
  void set(const std::string& name, const std::string& value);
  bool has(const std::string& name) const;
  // The expansion of source with the same rules as expandEnvironmentStrings.
  std::string expand(const std::string& source) const;
  // The SID of the user this environment belongs to.
  void setUserSid(const std::string& sid) { userSid_ = sid; }
  const std::string& userSid() const { return userSid_; }

 private:
  bool lookUp(const std::string& name, std::string* value) const;
  std::map<std::string, std::string> variables_;  // by lower-case name
  std::string userSid_;
};

}  // namespace platform
