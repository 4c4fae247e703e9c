// The user profiles of the machine, for a run over every user: who they are, their registry
// hives made reachable below HKEY_USERS, and the environment their paths are written in.
// Plain values; an AttachedHive unloads what it loaded when it goes.
#pragma once

#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/registry.h"

extern const char kProfileListKey[];

struct MachineUser {
  std::string sid;            // "S-1-5-21-..."
  std::string profileFolder;  // ProfileImagePath, expanded
  std::string name;           // the account's name, or the profile folder's last component
};

// The real accounts of ProfileList (SIDs beginning with S-1-5-21-), in registry order. A user
// whose ProfileImagePath cannot be read is listed with an empty folder. Returns the registry's
// error code for the list itself (0 when it was read).
long listMachineUsers(platform::Registry& machine, std::vector<MachineUser>* users);

// A user's hive below HKEY_USERS while the object lives: the hive a signed-in user has loaded
// at HKEY_USERS\<SID>, or the user's NTUSER.DAT loaded under a name of our own and unloaded
// again however the work ends (the destructor tries; unload() says whether it worked). Every
// key opened in it must be closed before it goes.
class AttachedHive {
 public:
  AttachedHive(platform::Registry& machine, const MachineUser& user);
  ~AttachedHive();
  AttachedHive(const AttachedHive&) = delete;
  AttachedHive& operator=(const AttachedHive&) = delete;

  long error() const { return error_; }  // 0 when the hive is reachable
  // Unloads a hive loaded by us, tried again for about two seconds while something still holds
  // a key in it; 0 when it is unloaded or was not ours, else the last error. Every key opened
  // in it must be closed first. A hive left loaded makes the user sign in with a temporary
  // profile, so the caller reports it.
  long unload();
  const std::string& keyName() const { return name_; }  // its name below HKEY_USERS
  bool loadedByUs() const { return loaded_; }

 private:
  platform::Registry& machine_;
  std::string name_;
  long error_ = 0;
  bool loaded_ = false;
};

// The environment of the user whose HKEY_CURRENT_USER is userRegistry: USERPROFILE is the
// profile folder and USERNAME the account's name (the folder's last component when the
// account has none); APPDATA and LOCALAPPDATA come from the
// user's User Shell Folders (the Windows defaults below the profile folder when unset); other
// names from the user's Environment key, then this process's.
platform::UserEnvironment userEnvironment(platform::Registry& userRegistry,
                                          const MachineUser& user);
