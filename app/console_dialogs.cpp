#include "app/console_dialogs.h"

#include <string>

#include "app/czech_texts.h"
#include "app/main_dialog.h"

int ConsoleUi::askNumber(int lowest, int highest) {
  std::string line;
  for (;;) {
    out_ << "> " << std::flush;
    if (!std::getline(in_, line)) return -1;
    size_t used = 0;
    int number = -1;
    try {
      number = std::stoi(line, &used);
    } catch (...) {
      used = 0;
    }
    if (used > 0 && line.find_first_not_of(" \t\r", used) == std::string::npos &&
        number >= lowest && number <= highest)
      return number;
  }
}

bool ConsoleUi::chooseProfile(const std::vector<std::string>& profiles, bool remove, int* chosen) {
  out_ << "\n"
       << NVX_TEXT_SELECT_CAPTION << "\n"
       << (remove ? NVX_TEXT_REMOVE_PROMPT : NVX_TEXT_ADD_PROMPT) << "\n";
  for (size_t i = 0; i < profiles.size(); ++i) out_ << "  " << i + 1 << ". " << profiles[i] << "\n";
  out_ << "  0. " << NVX_TEXT_CLOSE_BUTTON << "\n";
  int answer = askNumber(0, static_cast<int>(profiles.size()));
  if (answer <= 0) return false;
  *chosen = answer - 1;
  return true;
}

void ConsoleUi::showMessage(int messageId, unsigned) {
  out_ << "\n" << NVX_TEXT_MESSAGE_CAPTION << "\n" << messageText(messageId) << "\n";
}

int runConsoleMainDialog(ProfileOperations& operations, std::istream& in, std::ostream& out) {
  ConsoleUi ui(in, out);
  for (;;) {
    out << "\n"
        << NVX_TEXT_MAIN_CAPTION << "\n"
        << "  1. " << NVX_TEXT_ADD_BUTTON << "\n"
        << "  2. " << NVX_TEXT_REMOVE_BUTTON << "\n"
        << "  3. " << NVX_TEXT_CLOSE_BUTTON << "\n";
    switch (ui.askNumber(1, 3)) {
      case 1:
        OnAddClicked(operations, ui);
        break;
      case 2:
        OnRemoveClicked(operations, ui);
        break;
      default:
        return 0;
    }
  }
}
