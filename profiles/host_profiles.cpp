#include "profiles/host_profiles.h"

#include <cstdlib>
#include <cstring>

#include "profiles/menu_file_patch.h"

const char kOwnSettingsKey[] = "Software\\Norvex Studio\\Norvex Express";

namespace {

using platform::RegKey;

// A 64-bit process finds the 32-bit program's settings only in the 32-bit view.
constexpr std::uint32_t kOwnSettingsAccess =
    platform::kKeyRead | (sizeof(void*) == 8 ? platform::kKeyWow64_32Key : 0);

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

class KeyCloser {
 public:
  KeyCloser(platform::Registry& registry, RegKey key) : registry_(registry), key_(key) {}
  ~KeyCloser() { registry_.closeKey(key_); }

 private:
  platform::Registry& registry_;
  RegKey key_;
};

struct GroupValue {
  std::string name;
  std::vector<unsigned char> data;  // as read, terminator included
};

struct MenuScan {
  std::vector<GroupValue> others;       // group values not naming the add-on, in order
  std::vector<std::string> addOnNames;  // every value naming the add-on
  std::uint32_t largestNumber = 0;
};

// Reads every value of the Menus key. False when a value does not fit the buffers or the
// enumeration fails: no decision is taken on part of the key.
bool scanMenuGroups(platform::Registry& registry, RegKey key, MenuScan* scan) {
  for (std::uint32_t index = 0;; ++index) {
    char name[kValueSize];
    unsigned char data[kValueSize];
    std::uint32_t nameSize = kValueSize, dataSize = kValueSize, type = 0;
    long result = registry.enumValue(key, index, name, &nameSize, &type, data, &dataSize);
    if (result == platform::kErrorNoMoreItems) return true;
    if (result != platform::kErrorSuccess) return false;
    if (type != platform::kRegSz) continue;
    std::string lowerName = lowerAscii(std::string(name, nameSize));
    size_t group = lowerName.find("group");
    if (group == std::string::npos) continue;
    std::uint32_t number = static_cast<std::uint32_t>(std::atoi(lowerName.c_str() + group + 5));
    if (number > scan->largestNumber) scan->largestNumber = number;
    std::string text(reinterpret_cast<char*>(data),
                     strnlen(reinterpret_cast<char*>(data), dataSize));
    if (lowerAscii(text).find("norvex_express") != std::string::npos)
      scan->addOnNames.emplace_back(name, nameSize);
    else
      scan->others.push_back(GroupValue{std::string(name, nameSize),
                                        std::vector<unsigned char>(data, data + dataSize)});
  }
}

bool removeToolbarValues(platform::Registry& registry, RegKey key) {
  for (std::uint32_t index = 0;;) {
    char name[kValueSize];
    std::uint32_t nameSize = kValueSize, type = 0, dataSize = 0;
    long result = registry.enumValue(key, index, name, &nameSize, &type, nullptr, &dataSize);
    if (result == platform::kErrorNoMoreItems) return true;
    if (result != platform::kErrorSuccess) return false;
    if (type == platform::kRegSz &&
        lowerAscii(std::string(name, nameSize)).find("norvex_express") != std::string::npos) {
      if (registry.deleteValue(key, name) != platform::kErrorSuccess) return false;
      continue;  // the following values have moved up
    }
    ++index;
  }
}

}  // namespace

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
  RegKey key;
  if (registry_.openKey(platform::RegRoot::kLocalMachine, kOwnSettingsKey, kOwnSettingsAccess,
                        &key) != platform::kErrorSuccess)
    return false;
  KeyCloser closer(registry_, key);
  bool found = readStringValue(registry_, key, "AcadPathReg", kKeyPathSize, productKey);
  unsigned char flag[256] = {0};
  std::uint32_t flagSize = 255;
  if (registry_.queryValue(key, "AcadPlatform", nullptr, flag, &flagSize) ==
          platform::kErrorSuccess &&
      flag[0] == '1' && flag[1] == 0)
    *platformFlag = 1;
  return found && !productKey->empty();
}

bool HostProfiles::ReadSupportBasePath(const std::string& productKey, int platformFlag,
                                       std::string* path) {
  RegKey key;
  if (registry_.openKey(platform::RegRoot::kCurrentUser, productKey.c_str(),
                        platform::kKeyRead | hostView(platformFlag),
                        &key) != platform::kErrorSuccess)
    return false;
  KeyCloser closer(registry_, key);
  std::string root;
  if (!readStringValue(registry_, key, "RoamableRootFolder", kSupportPathSize, &root)) return false;
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
  RegKey key;
  if (registry_.openKey(platform::RegRoot::kCurrentUser, path.c_str(),
                        platform::kKeyRead | hostView(platformFlag),
                        &key) != platform::kErrorSuccess)
    return false;
  KeyCloser closer(registry_, key);
  for (std::uint32_t index = 0;; ++index) {
    char name[kProfileNameSize];
    std::uint32_t size = kProfileNameSize;
    long result = registry_.enumKey(key, index, name, &size);
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

bool HostProfiles::UpdateOneProfile(const char* profile, int mode) {
  std::string productKey, supportBasePath;
  int platformFlag;
  if (!profile || std::strlen(profile) >= kProfileNameSize) return false;
  if (!ReadInstallSettings(&productKey, &platformFlag) ||
      !ReadSupportBasePath(productKey, platformFlag, &supportBasePath))
    return false;
  return UpdateProfile(productKey, supportBasePath, profile, mode, platformFlag);
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

bool HostProfiles::UpdateProfile(const std::string& productKey, const std::string& supportBasePath,
                                 const char* profile, int mode, int platformFlag) {
  int release = HostReleaseNumber(productKey.c_str());
  if (release < 0) return false;
  if (release >= 15)
    return PatchMenuFile(registry_, run_, productKey, supportBasePath, profile, mode, platformFlag,
                         ".CUIX");
  if (release >= 11)
    return PatchMenuFile(registry_, run_, productKey, supportBasePath, profile, mode, platformFlag,
                         ".CUI");
  return RegisterMenuGroup(productKey, supportBasePath, profile, mode, platformFlag);
}

bool HostProfiles::RegisterMenuGroup(const std::string& productKey,
                                     const std::string& supportBasePath, const char* profile,
                                     int mode, int platformFlag) {
  const std::uint32_t access = platform::kKeyAllAccess | hostView(platformFlag);
  std::string profileKey = productKey + "\\Profiles\\" + profile;
  std::string menusPath = profileKey + "\\Menus", toolbarsPath = profileKey + "\\Toolbars";
  if (toolbarsPath.size() >= kKeyPathSize) return false;

  RegKey menus;
  long opened =
      registry_.openKey(platform::RegRoot::kCurrentUser, menusPath.c_str(), access, &menus);
  if (opened != platform::kErrorSuccess) {
    if (mode == kModeAdd || opened != platform::kErrorFileNotFound) return false;
  } else {
    KeyCloser closer(registry_, menus);
    MenuScan scan;
    if (!scanMenuGroups(registry_, menus, &scan)) return false;
    if (mode == kModeAdd) {
      if (!scan.addOnNames.empty()) return true;
      std::string name = "Group" + std::to_string(scan.largestNumber + 1u);
      std::string data = "Norvex_Express " + supportBasePath;
      return data.size() < kValueSize &&
             registry_.setValue(menus, name.c_str(), platform::kRegSz,
                                reinterpret_cast<const unsigned char*>(data.c_str()),
                                static_cast<std::uint32_t>(data.size() + 1)) ==
                 platform::kErrorSuccess;
    }
    if (!scan.addOnNames.empty()) {
      for (const std::string& name : scan.addOnNames)
        if (registry_.deleteValue(menus, name.c_str()) != platform::kErrorSuccess) return false;
      for (const GroupValue& value : scan.others)
        if (registry_.deleteValue(menus, value.name.c_str()) != platform::kErrorSuccess)
          return false;
      for (size_t i = 0; i < scan.others.size(); ++i) {
        const auto& data = scan.others[i].data;
        std::string name = "Group" + std::to_string(i + 1);
        if (registry_.setValue(menus, name.c_str(), platform::kRegSz, data.data(),
                               static_cast<std::uint32_t>(data.size())) != platform::kErrorSuccess)
          return false;
      }
    }
  }
  RegKey toolbars;
  opened =
      registry_.openKey(platform::RegRoot::kCurrentUser, toolbarsPath.c_str(), access, &toolbars);
  if (opened == platform::kErrorFileNotFound) return true;
  if (opened != platform::kErrorSuccess) return false;
  KeyCloser closer(registry_, toolbars);
  return removeToolbarValues(registry_, toolbars);
}
