#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/identity.h"

namespace platform {

bool currentUserSid(std::string* sid) {
  const char* text = std::getenv("NORVEX_EXPRESS_USER_SID");
  if (!text || !*text) return false;
  *sid = text;
  return true;
}

bool currentAccountName(std::string* name) {
  std::string computer;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (!computerName(&computer) ||
      getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return false;
  *name = computer + "\\" + found->pw_name;
  return true;
}

bool computerName(std::string* name) {
  struct utsname system;
  if (uname(&system) != 0) return false;
  *name = system.nodename;
  return true;
}

unsigned long currentProcessId() {
  return static_cast<unsigned long>(getpid());
}

}  // namespace platform
