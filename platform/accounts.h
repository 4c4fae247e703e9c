// Names of the machine's user accounts. Plain values; nothing to free.
#pragma once

#include <string>

namespace platform {

// The account name of the string SID sid ("S-1-5-21-..."), without its domain; false when the
// system cannot name it (the POSIX substitute never can).
bool accountNameOfSid(const std::string& sid, std::string* name);

}  // namespace platform
