// The Windows main dialog, run modally until the user closes it.
#include "app/exit_codes.h"
#include "app/main_dialog.h"
#include "app/norvex_express_dlg.h"

int runMainDialog(ProfileOperations& operations) {
  CNorvexExpressDlg dialog(operations);
  // A dialog that could not be shown at all is no success.
  return dialog.DoModal() == -1 ? kExitSomeFailed : kExitUpdated;
}
