// The per-profile operations that the silent runs and the dialogs share.
// The dialogs hold a reference to an implementation they do not own.
#pragma once

#include <string>
#include <vector>

class ProfileOperations {
 public:
  virtual ~ProfileOperations() = default;
  // Appends the host's profile names in registry order; false, with the list left as it
  // was, when the host installation cannot be found.
  virtual bool ListProfiles(std::vector<std::string>* profiles) = 0;
  // True only when the profile was updated (or already was as asked).
  virtual bool AddToProfile(const char* profile) = 0;
  virtual bool RemoveFromProfile(const char* profile) = 0;
  // Whether the host runs for this user: it would write back the customization it holds and
  // lose any change made meanwhile.
  virtual bool HostIsRunning() = 0;
};
