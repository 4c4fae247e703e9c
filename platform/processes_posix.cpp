#include "platform/processes.h"

namespace platform {

bool isProcessRunningForCurrentUser(const char* /*executableName*/) { return false; }

}  // namespace platform
