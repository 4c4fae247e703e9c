// The host installation and its profiles, as the registry describes them, and the update of
// one profile: menu-group values in the registry for old host releases, the main
// customization file for newer ones. Every call reads the registry afresh; the registry and
// the run state are the caller's.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "edits/edit_run.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "profiles/profile_operations.h"
#include "profiles/profile_result.h"

// Sizes of the fixed buffers of the registry's data model. Longer input is refused.
constexpr std::size_t kKeyPathSize = 260;
constexpr std::size_t kProfileNameSize = 256;
constexpr std::size_t kSupportPathSize = 516;
constexpr std::size_t kValueSize = 1024;

extern const char kOwnSettingsKey[];
extern const char kHostExecutable[];  // the host program, as the process list names it

class HostProfiles : public ProfileOperations {
 public:
  HostProfiles(platform::Registry& registry, EditRun& run);

  // Whether the host runs for this user; the process check by default.
  void SetHostCheck(std::function<bool()> check) { hostRunning_ = std::move(check); }

  // Paths in the profiles' values are expanded in environment (borrowed), not in this
  // process's; null goes back to this process's. With an environment the run is for another
  // user, whose values are not trusted: no network path is opened for them.
  void SetEnvironment(const platform::UserEnvironment* environment) { environment_ = environment; }

  bool ReadInstallSettings(std::string* productKey, int* platformFlag);
  bool ReadSupportBasePath(const std::string& productKey, int platformFlag, std::string* path);
  // Appends the profile names in registry order. False when the settings or the "Profiles"
  // key cannot be found. unreadable counts profiles whose names do not fit.
  bool ListProfiles(std::vector<std::string>* profiles, int* unreadable);
  bool ListProfiles(std::vector<std::string>* profiles) override {
    return ListProfiles(profiles, nullptr);
  }
  bool AddToProfile(const char* profile) override {
    ProfileReport report;
    return profileResultDone(Update(profile, ProfileMode::kAdd, false, &report));
  }
  bool RemoveFromProfile(const char* profile) override {
    ProfileReport report;
    return profileResultDone(Update(profile, ProfileMode::kRemove, false, &report));
  }
  bool HostIsRunning() override { return hostRunning_ && hostRunning_(); }
  // The add or remove of one profile with its reason; a dry run writes nothing. The result is
  // also left in report->result, beside the file or key it was about.
  ProfileResult Update(const char* profile, ProfileMode mode, bool dryRun, ProfileReport* report);
  // What of the add-on the profile holds, in report->state; changes nothing.
  ProfileResult Status(const char* profile, ProfileReport* report);

  // The number of the release component of the product key (R18.1 gives 18); -1 when the
  // key has no place for one.
  static int HostReleaseNumber(const char* productKey);
  static bool IsCleanPath(const std::string& path);
  ProfileResult UpdateProfile(const std::string& productKey, const std::string& supportBasePath,
                              const char* profile, ProfileMode mode, int platformFlag, bool dryRun,
                              ProfileReport* report);
  ProfileResult RegisterMenuGroup(const std::string& productKey, const std::string& supportBasePath,
                                  const char* profile, ProfileMode mode, int platformFlag,
                                  bool dryRun, ProfileReport* report);

 private:
  // ProfileMode::kAdd or ProfileMode::kRemove, or ProfileMode::kStatus for a look-up.
  ProfileResult UpdateOneProfile(const char* profile, ProfileMode mode, bool dryRun,
                                 ProfileReport* report);
  platform::Registry& registry_;
  EditRun& run_;
  const platform::UserEnvironment* environment_ = nullptr;
  std::function<bool()> hostRunning_;
};

// The view bit for keys below HKEY_CURRENT_USER.
inline std::uint32_t hostView(int platformFlag) {
  return platformFlag == 1 ? platform::kKeyWow64_64Key : platform::kKeyWow64_32Key;
}

// Reads a string value whole; false when it is missing or does not fit in size bytes with
// its terminator.
bool readStringValue(platform::Registry& registry, platform::RegKey key, const char* name,
                     std::size_t size, std::string* text);
