// Names of the machine's user accounts. Plain values; nothing to free.
#pragma once

#include <string>

namespace platform {

// The account name of the string SID sid ("S-1-5-21-..."), without its domain; false when the
// system cannot name it (the POSIX substitute never can).
bool accountNameOfSid(const std::string& sid, std::string* name);

// Enables the backup, restore and take-ownership privileges in this process's token where it
// holds them, for a run over every user: hives are loaded and files given their owners' names
// with them. Privileges the account lacks stay off; the calls that need them then fail.
void enableAllUsersPrivileges();

}  // namespace platform
