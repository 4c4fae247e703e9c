// The run that finishes the work at the user's next logon: a value under the user's RunOnce
// key that Windows runs once (and removes before running it). Plain values; nothing to free.
#pragma once

#include <string>

#include "platform/registry.h"

extern const char kRunOnceKey[];      // below HKEY_CURRENT_USER
extern const char kRetryValueName[];  // "NorvexExpress"

// The command line of the retry: the program quoted, the action, --retry-at-logon and, when
// logPath is not empty, --log with it quoted.
std::string retryCommandLine(const std::string& program, const char* action,
                             const std::string& logPath);
// Writes the value into the current user's registry as the registry sees it (a user's hive
// through a view); returns the Windows error code.
long scheduleRetryAtLogon(platform::Registry& registry, const std::string& commandLine);
// Deletes the value where it is; a missing value or key is no error.
long cancelRetryAtLogon(platform::Registry& registry);
