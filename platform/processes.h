// Processes of the current user.
#pragma once

namespace platform {

// Whether a process whose executable is named executableName (ASCII letters compared without
// regard to case, e.g. "acadlt.exe") runs for the current user.
bool isProcessRunningForCurrentUser(const char* executableName);

}  // namespace platform
