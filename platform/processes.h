// Processes of the current user.
#pragma once

namespace platform {

// Whether a process whose executable is named executableName (ASCII letters compared without
// regard to case, e.g. "acadlt.exe") runs for the current user; this process never counts.
// Also true when the list of processes cannot be read at all, since then no such process can
// be ruled out.
// The POSIX substitute reads /proc; while its registry is a file named by
// NORVEX_EXPRESS_REGISTRY, only processes started with the same value count.
bool isProcessRunningForCurrentUser(const char* executableName);
// The same for the user with the string SID sid ("S-1-5-21-..."). A process whose owner cannot
// be read counts. The POSIX substitute counts processes started with NORVEX_EXPRESS_USER_SID
// set to sid.
bool isProcessRunningForUser(const char* executableName, const char* sid);

// Platform part: the scan itself, which may throw std::bad_alloc; sid null for this user.
bool scanProcesses(const char* executableName, const char* sid);

}  // namespace platform
