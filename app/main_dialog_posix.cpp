#include <iostream>

#include "app/console_dialogs.h"
#include "app/main_dialog.h"

int runMainDialog(ProfileOperations& operations) {
  return runConsoleMainDialog(operations, std::cin, std::cout);
}
