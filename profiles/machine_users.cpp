#include "profiles/machine_users.h"

#include <cstdint>

#include "platform/accounts.h"
#include "platform/file_operations.h"
#include "platform/file_read.h"
#include "profiles/host_profiles.h"
#include "profiles/registry_key.h"

const char kProfileListKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

namespace {

const char kRealAccountPrefix[] = "S-1-5-21-";
constexpr std::size_t kSidSize = 256;

std::string lastComponent(const std::string& folder) {
  std::string trimmed = folder;
  while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  size_t separator = trimmed.find_last_of("\\/");
  return separator == std::string::npos ? trimmed : trimmed.substr(separator + 1);
}

// The folder's own separator: a POSIX folder has only slashes.
std::string below(const std::string& folder, const std::string& name) {
  char separator =
      folder.find('\\') == std::string::npos && folder.find('/') != std::string::npos ? '/' : '\\';
  std::string path = folder;
  if (path.empty() || path.back() != separator) path += separator;
  for (char c : name) path += c == '\\' ? separator : c;
  return path;
}

}  // namespace

long listMachineUsers(platform::Registry& machine, std::vector<MachineUser>* users) {
  RegistryKey list(machine, platform::RegRoot::kLocalMachine, kProfileListKey,
                   platform::kKeyRead | platform::kKeyWow64_64Key);
  if (!list.isOpen()) return list.error();
  for (std::uint32_t index = 0;; ++index) {
    char sid[kSidSize];
    std::uint32_t size = kSidSize;
    long result = machine.enumKey(list.get(), index, sid, &size);
    if (result == platform::kErrorNoMoreItems) return platform::kErrorSuccess;
    if (result == platform::kErrorMoreData) continue;  // no SID is this long
    if (result != platform::kErrorSuccess) return result;
    MachineUser user;
    user.sid.assign(sid, size);
    if (user.sid.compare(0, sizeof kRealAccountPrefix - 1, kRealAccountPrefix) != 0) continue;
    RegistryKey entry(machine, platform::RegRoot::kLocalMachine,
                      std::string(kProfileListKey) + "\\" + user.sid,
                      platform::kKeyRead | platform::kKeyWow64_64Key);
    std::string folder;
    if (entry.isOpen() &&
        readStringValue(machine, entry.get(), "ProfileImagePath", kKeyPathSize, &folder))
      user.profileFolder = platform::UserEnvironment().expand(folder);
    if (!platform::accountNameOfSid(user.sid, &user.name) || user.name.empty())
      user.name = lastComponent(user.profileFolder);
    if (user.name.empty()) user.name = user.sid;
    users->push_back(user);
  }
}

AttachedHive::AttachedHive(platform::Registry& machine, const MachineUser& user)
    : machine_(machine), name_(user.sid) {
  // A relative folder would be taken in whatever folder the caller runs in.
  if (!user.profileFolder.empty() && !platform::isAbsolutePath(user.profileFolder)) {
    error_ = platform::kErrorBadPathname;
    return;
  }
  {
    // A signed-in user's hive is loaded already.
    RegistryKey loaded(machine, platform::RegRoot::kUsers, name_, platform::kKeyRead);
    if (loaded.error() != platform::kErrorFileNotFound) {
      error_ = loaded.error();  // 0, or loaded but out of our reach
      return;
    }
  }
  if (user.profileFolder.empty()) {
    error_ = platform::kErrorFileNotFound;
    return;
  }
  name_ = "NorvexExpress_" + user.sid;
  // A run that was killed may have left it loaded.
  machine_.unloadHive(name_.c_str());
  error_ = machine_.loadHive(name_.c_str(), below(user.profileFolder, "NTUSER.DAT").c_str());
  loaded_ = error_ == platform::kErrorSuccess;
}

AttachedHive::~AttachedHive() {
  unload();
}

long AttachedHive::unload() {
  if (!loaded_) return platform::kErrorSuccess;
  // Another process (a scanner, a backup) may hold a key in the hive for a moment: tried again
  // as a save's replace is.
  const long result =
      platform::retryStep([this] { return machine_.unloadHive(name_.c_str()); },
                          [](long error) { return error == platform::kErrorSuccess; });
  if (result == platform::kErrorSuccess) loaded_ = false;
  return result;
}

platform::UserEnvironment userEnvironment(platform::Registry& userRegistry,
                                          const MachineUser& user) {
  platform::UserEnvironment environment;
  environment.setUserSid(user.sid);
  environment.set("USERPROFILE", user.profileFolder);
  // The account's name: a profile folder may be "<name>.CONTOSO" or "<name>.000".
  environment.set("USERNAME", user.name.empty() || user.name == user.sid
                                  ? lastComponent(user.profileFolder)
                                  : user.name);
  const std::uint32_t access = platform::kKeyRead;
  RegistryKey folders(userRegistry, platform::RegRoot::kCurrentUser,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      access);
  const struct {
    const char* variable;
    const char* value;
    const char* fallback;
  } kShellFolders[] = {{"APPDATA", "AppData", "AppData\\Roaming"},
                       {"LOCALAPPDATA", "Local AppData", "AppData\\Local"}};
  for (const auto& folder : kShellFolders) {
    std::string value;
    if (folders.isOpen() &&
        readStringValue(userRegistry, folders.get(), folder.value, kValueSize, &value))
      environment.set(folder.variable, environment.expand(value));
    else
      environment.set(folder.variable, below(user.profileFolder, folder.fallback));
  }
  RegistryKey variables(userRegistry, platform::RegRoot::kCurrentUser, "Environment", access);
  for (std::uint32_t index = 0; variables.isOpen(); ++index) {
    char name[kValueSize];
    std::uint32_t nameSize = kValueSize;
    long result =
        userRegistry.enumValue(variables.get(), index, name, &nameSize, nullptr, nullptr, nullptr);
    if (result == platform::kErrorMoreData) continue;
    if (result != platform::kErrorSuccess) break;
    std::string variable(name, nameSize), value;
    if (environment.has(variable)) continue;
    if (readStringValue(userRegistry, variables.get(), name, kValueSize, &value))
      environment.set(variable, environment.expand(value));
  }
  return environment;
}
