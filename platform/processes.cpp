#include "platform/processes.h"

#include <new>

namespace platform {

bool isProcessRunningForCurrentUser(const char* executableName) {
  return isProcessRunningForUser(executableName, nullptr);
}

bool isProcessRunningForUser(const char* executableName, const char* sid) {
  if (!executableName || !*executableName) return false;
  try {
    return scanProcesses(executableName, sid);
  } catch (const std::bad_alloc&) {
    return true;  // the scan could not finish, so nothing is ruled out
  }
}

}  // namespace platform
