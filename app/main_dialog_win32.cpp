// The Windows main dialog, run modally until the user closes it.
#include "app/main_dialog.h"
#include "app/norvex_express_dlg.h"

int runMainDialog(ProfileOperations& operations) {
  CNorvexExpressDlg dialog(operations);
  dialog.DoModal();
  return 0;
}
