// The Windows dialogs are not built yet: a start without a silent request ends at once.
#include "app/main_dialog.h"

int runMainDialog(ProfileOperations&) { return 0; }
