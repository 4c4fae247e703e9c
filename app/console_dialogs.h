// The two dialogs on a terminal: the same texts and choices as the windows, answered by
// numbers, one per line. End of input counts as Zavřít.
#pragma once

#include <iostream>

#include "app/dialog_logic.h"

class ConsoleUi : public DialogUi {
 public:
  ConsoleUi(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  bool chooseProfile(const std::vector<std::string>& profiles, bool remove, int* chosen) override;
  void showMessage(int messageId, unsigned icon) override;
  // Asks for a number from 0 to highest until one comes; -1 at the end of input.
  int askNumber(int lowest, int highest);

 private:
  std::istream& in_;
  std::ostream& out_;
};

int runConsoleMainDialog(ProfileOperations& operations, std::istream& in, std::ostream& out);
