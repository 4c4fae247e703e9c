#include "profiles/host_profiles.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/code_page.h"
#include "platform/file_read.h"
#include "platform/processes.h"
#include "platform/text_utf.h"
#include "profiles/menu_file_patch.h"
#include "profiles/menu_group_registration.h"
#include "profiles/registry_key.h"

const char kOwnSettingsKey[] = "Software\\Norvex Studio\\Norvex Express";
const char kHostExecutable[] = "acadlt.exe";

namespace {

using platform::RegKey;

// A 64-bit process finds the 32-bit program's settings only in the 32-bit view.
constexpr std::uint32_t kOwnSettingsAccess =
    platform::kKeyRead | (sizeof(void*) == 8 ? platform::kKeyWow64_32Key : 0);

}  // namespace

HostProfiles::HostProfiles(platform::Registry& registry, EditRun& run)
    : registry_(registry),
      run_(run),
      hostRunning_([] { return platform::isProcessRunningForCurrentUser(kHostExecutable); }) {}

bool readStringValue(platform::Registry& registry, RegKey key, const char* name, std::size_t size,
                     std::string* text) {
  std::vector<char> buffer(size, '\0');
  std::uint32_t length = static_cast<std::uint32_t>(size);
  if (registry.queryValue(key, name, nullptr, reinterpret_cast<unsigned char*>(buffer.data()),
                          &length) != platform::kErrorSuccess)
    return false;
  size_t used = strnlen(buffer.data(), length);
  // Room is needed for the terminator too.
  if (used >= size) return false;
  text->assign(buffer.data(), used);
  return true;
}

bool HostProfiles::ReadInstallSettings(std::string* productKey, int* platformFlag) {
  *platformFlag = 0;
  RegistryKey settings(registry_, platform::RegRoot::kLocalMachine, kOwnSettingsKey,
                       kOwnSettingsAccess);
  if (!settings.isOpen()) return false;
  bool found = readStringValue(registry_, settings.get(), "AcadPathReg", kKeyPathSize, productKey);
  unsigned char flag[256] = {0};
  std::uint32_t flagSize = 255;
  if (registry_.queryValue(settings.get(), "AcadPlatform", nullptr, flag, &flagSize) ==
          platform::kErrorSuccess &&
      flag[0] == '1' && flag[1] == 0)
    *platformFlag = 1;
  return found && !productKey->empty();
}

bool HostProfiles::ReadSupportBasePath(const std::string& productKey, int platformFlag,
                                       std::string* path) {
  RegistryKey product(registry_, platform::RegRoot::kCurrentUser, productKey,
                      platform::kKeyRead | hostView(platformFlag));
  if (!product.isOpen()) return false;
  std::string root;
  if (!readStringValue(registry_, product.get(), "RoamableRootFolder", kSupportPathSize, &root))
    return false;
  if (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
  *path = root + "\\Support\\Norvex_Express";
  return path->size() < kSupportPathSize;
}

bool HostProfiles::ListProfiles(std::vector<std::string>* profiles, int* unreadable) {
  std::string productKey;
  int platformFlag;
  if (!ReadInstallSettings(&productKey, &platformFlag)) return false;
  std::string path = productKey + "\\Profiles";
  if (path.size() >= kKeyPathSize) return false;
  RegistryKey list(registry_, platform::RegRoot::kCurrentUser, path,
                   platform::kKeyRead | hostView(platformFlag));
  if (!list.isOpen()) return false;
  for (std::uint32_t index = 0;; ++index) {
    char name[kProfileNameSize];
    std::uint32_t size = kProfileNameSize;
    long result = registry_.enumKey(list.get(), index, name, &size);
    if (result == platform::kErrorNoMoreItems) break;
    if (result == platform::kErrorSuccess) {
      profiles->emplace_back(name, size);
    } else {
      // A name that does not fit is not cut: that profile cannot be updated.
      if (unreadable) ++*unreadable;
      if (result != platform::kErrorMoreData) break;
    }
  }
  return true;
}

ProfileResult HostProfiles::Update(const char* profile, ProfileMode mode, bool dryRun,
                                   ProfileReport* report) {
  try {
    report->result = UpdateOneProfile(profile, mode, dryRun, report);
  } catch (const std::bad_alloc&) {
    report->result = ProfileResult::kOutOfMemory;  // what the update made is gone with it
  }
  return report->result;
}

ProfileResult HostProfiles::Status(const char* profile, ProfileReport* report) {
  report->state = ProfileState::kError;
  try {
    report->result = UpdateOneProfile(profile, ProfileMode::kStatus, true, report);
  } catch (const std::bad_alloc&) {
    report->result = ProfileResult::kOutOfMemory;
  }
  if (!profileResultDone(report->result)) report->state = ProfileState::kError;
  return report->result;
}

ProfileResult HostProfiles::UpdateOneProfile(const char* profile, ProfileMode mode, bool dryRun,
                                             ProfileReport* report) {
  std::string productKey, supportBasePath;
  int platformFlag;
  if (!profile || std::strlen(profile) >= kProfileNameSize)
    return ProfileResult::kProfileNameTooLong;
  if (!ReadInstallSettings(&productKey, &platformFlag) ||
      !ReadSupportBasePath(productKey, platformFlag, &supportBasePath))
    return ProfileResult::kHostNotFound;
  return UpdateProfile(productKey, supportBasePath, profile, mode, platformFlag, dryRun, report);
}

// A path that can go into a document or a registry value as it is: no control character
// (which would make the document ill-formed or forge a line), and text that the code page
// holds.
bool HostProfiles::IsCleanPath(const std::string& path) {
  std::string utf8;
  return !platform::holdsControlCharacter(path) &&
         platform::convertText(path, platform::kCodePageAnsi, platform::kCodePageUtf8, &utf8);
}

int HostProfiles::HostReleaseNumber(const char* productKey) {
  std::vector<size_t> separators;
  for (size_t i = 0; productKey[i]; ++i)
    if (productKey[i] == '\\') separators.push_back(i);
  size_t length = std::strlen(productKey);
  if (!separators.empty() && separators.back() == length - 1) separators.pop_back();
  if (separators.size() < 2) return -1;
  size_t p = separators[separators.size() - 2], q = separators.back();
  if (p + 2 >= q) return 0;
  std::string release(productKey + p + 2, productKey + q);
  return std::atoi(release.c_str());
}

ProfileResult HostProfiles::UpdateProfile(const std::string& productKey,
                                          const std::string& supportBasePath, const char* profile,
                                          ProfileMode mode, int platformFlag, bool dryRun,
                                          ProfileReport* report) {
  int release = HostReleaseNumber(productKey.c_str());
  if (release < 0) return ProfileResult::kUnknownRelease;
  if (!IsCleanPath(supportBasePath)) return ProfileResult::kInvalidPath;
  // Another user's share is never reached by a run for every user; that user's own run can.
  if (environment_ && platform::isNetworkPath(supportBasePath)) return ProfileResult::kNetworkPath;
  const char* extension = release >= 15 ? ".CUIX" : ".CUI";
  if (release >= 11 && mode == ProfileMode::kStatus)
    return MenuFileStatus(registry_, productKey, supportBasePath, profile, platformFlag, extension,
                          report, environment_);
  if (release >= 11)
    return PatchMenuFile(registry_, run_, productKey, supportBasePath, profile, mode, platformFlag,
                         extension, dryRun, report, environment_);
  if (mode == ProfileMode::kStatus)
    return MenuGroupStatus(registry_, productKey, supportBasePath, profile, platformFlag, report);
  return RegisterMenuGroup(productKey, supportBasePath, profile, mode, platformFlag, dryRun,
                           report);
}
ProfileResult HostProfiles::RegisterMenuGroup(const std::string& productKey,
                                              const std::string& supportBasePath,
                                              const char* profile, ProfileMode mode,
                                              int platformFlag, bool dryRun,
                                              ProfileReport* report) {
  return ::RegisterMenuGroup(registry_, productKey, supportBasePath, profile, mode, platformFlag,
                             dryRun, report);
}
