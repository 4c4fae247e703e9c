// Who and where this run is: the account and process, the machine, the local time. For the
// header of a log and for the reason a run finds nothing. Plain values; nothing to free.
#pragma once

#include <string>

namespace platform {

constexpr char kLocalSystemSid[] = "S-1-5-18";

// The string SID of the account this process runs as ("S-1-5-18" for LocalSystem); false when
// the system cannot tell. The POSIX substitute reads NORVEX_EXPRESS_USER_SID, as its host
// stand-ins do.
bool currentUserSid(std::string* sid);
// "DOMAIN\user" of this process's account, in UTF-8; false when the system cannot tell. The
// POSIX substitute gives "<computer>\<login name>".
bool currentAccountName(std::string* name);
// The machine's name, in UTF-8; false when the system cannot tell.
bool computerName(std::string* name);
unsigned long currentProcessId();

}  // namespace platform
