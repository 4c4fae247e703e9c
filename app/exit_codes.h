// The exit codes of the program, its only report in the silent runs.
#pragma once

constexpr int kExitUpdated = 0;      // every profile done, or already as asked; also the dialog
constexpr int kExitSomeFailed = 1;   // at least one profile could not be done; the others were
constexpr int kExitNotFound = 2;     // no settings, host or profile found; nothing changed
constexpr int kExitHostRunning = 3;  // the host runs for this user, or another run holds the
                                     // machine-wide lock; nothing changed
constexpr int kExitUsage = 64;       // the command line was not understood; nothing changed
