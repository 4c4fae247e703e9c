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

// Platform part: the scan itself, which may throw std::bad_alloc.
bool scanProcesses(const char* executableName);

}  // namespace platform
