#include "platform/processes.h"

#include <new>

namespace platform {

bool isProcessRunningForCurrentUser(const char* executableName) {
  if (!executableName || !*executableName) return false;
  try {
    return scanProcesses(executableName);
  } catch (const std::bad_alloc&) {
    return true;  // the scan could not finish, so nothing is ruled out
  }
}

}  // namespace platform
