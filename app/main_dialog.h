// The main dialog, shown when the command line asks for no silent run.
#pragma once

#include "profiles/profile_operations.h"

// Runs the dialog modally until the user closes it. On Windows it is a real dialog;
// on POSIX the same choices are offered on the terminal. Returns the exit code (0).
int runMainDialog(ProfileOperations& operations);
