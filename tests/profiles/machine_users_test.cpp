#include "profiles/machine_users.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/registry_file.h"
#include "platform/user_hive_view.h"
#include "tests/support/file_faults.h"
#include "tests/support/test_files.h"

namespace {

const char kUsersText[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
    "NT\\CurrentVersion\\ProfileList\\S-1-5-18]\r\n"
    "\"ProfileImagePath\"=\"C:\\\\Windows\\\\system32\\\\config\\\\systemprofile\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
    "S-1-5-21-1-1-1-1001]\r\n"
    "\"ProfileImagePath\"=\"/home/jana/\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
    "S-1-5-21-1-1-1-1002]\r\n"
    "[HKEY_USERS\\S-1-5-21-1-1-1-1001\\Environment]\r\n"
    "\"Temp\"=\"%USERPROFILE%tmp\"\r\n"
    "\"appdata\"=\"/not/this/one\"\r\n"
    "\"Plocha\"=\"%LOCALAPPDATA%/plocha %UNKNOWN_NVX%\"\r\n";

// Who the users are, and the environment their paths are expanded in.
TEST(MachineUsers, RealAccountsAndTheirOwnEnvironment) {
  auto machine = platform::RegistryFile::fromText(kUsersText);
  std::vector<MachineUser> users;
  ASSERT_EQ(listMachineUsers(*machine, &users), 0);
  ASSERT_EQ(users.size(), 2u) << "SYSTEM is no real account";
  EXPECT_EQ(users[0].sid, "S-1-5-21-1-1-1-1001");
  EXPECT_EQ(users[0].profileFolder, "/home/jana/");
  EXPECT_EQ(users[0].name, "jana");
  EXPECT_EQ(users[1].profileFolder, "") << "no ProfileImagePath";

  AttachedHive signedIn(*machine, users[0]);
  EXPECT_EQ(signedIn.error(), 0);
  EXPECT_FALSE(signedIn.loadedByUs());
  AttachedHive away(*machine, users[1]);
  EXPECT_EQ(away.error(), platform::kErrorFileNotFound);

  platform::UserHiveView view(*machine, signedIn.keyName());
  platform::UserEnvironment environment = userEnvironment(view, users[0]);
  // Without User Shell Folders, the folders Windows gives a new profile.
  EXPECT_EQ(environment.expand("%AppData%|%TEMP%|%USERNAME%"),
            "/home/jana/AppData/Roaming|/home/jana/tmp|jana");
  EXPECT_EQ(environment.expand("%plocha%"), "/home/jana/AppData/Local/plocha %UNKNOWN_NVX%");
  EXPECT_EQ(environment.expand("100%% %USERPROFILE"), "100%% %USERPROFILE");

  // A folder that is not the account's name: USERNAME is the account's, the folder stays.
  MachineUser renamed = users[0];
  renamed.profileFolder = "/home/jana.CONTOSO";
  renamed.name = "jana";
  EXPECT_EQ(userEnvironment(view, renamed).expand("%USERPROFILE%|%USERNAME%"),
            "/home/jana.CONTOSO|jana");
  renamed.name = renamed.sid;  // an account the system cannot name
  EXPECT_EQ(userEnvironment(view, renamed).expand("%USERNAME%"), "jana.CONTOSO");
}

// A hive the run loaded is unloaded once nothing holds a key in it; while something does,
// the unload is tried again and then fails with the registry's error.
TEST(MachineUsers, AHiveWithAKeyHeldOpenIsNotUnloadedAndSaysSo) {
  test_support::TempFolder dir;
  test_support::writeFile(dir / "NTUSER.DAT",
                          "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Environment]\r\n\"A\"=\"1\"\r\n");
  auto machine = platform::RegistryFile::fromText("Windows Registry Editor Version 5.00\r\n");
  MachineUser user{"S-1-5-21-1-1-1-1003", dir.path(), "petr"};
  test_support::FileFaults faults;
  platform::ScopedFileOperations scope(faults);
  AttachedHive hive(*machine, user);
  ASSERT_EQ(hive.error(), 0);
  ASSERT_TRUE(hive.loadedByUs());
  platform::UserHiveView view(*machine, hive.keyName());
  platform::RegKey held = 0;
  ASSERT_EQ(view.openKey(platform::RegRoot::kCurrentUser, "Environment", platform::kKeyRead, &held),
            0);
  EXPECT_EQ(hive.unload(), platform::kErrorAccessDenied);
  EXPECT_TRUE(hive.loadedByUs());
  EXPECT_GT(faults.pausedMs, 0u);
  view.closeKey(held);
  EXPECT_EQ(hive.unload(), 0);
  EXPECT_FALSE(hive.loadedByUs());
  EXPECT_EQ(hive.unload(), 0);
}

}  // namespace
