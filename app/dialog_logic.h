// What the main dialog's two buttons do, apart from the windows that show it: which profile
// is changed, when the user is asked to choose, and which message follows.
#pragma once

#include <string>
#include <vector>

#include "profiles/profile_operations.h"

constexpr unsigned kIconInformation = 0x40;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconWarning = 0x30;

class DialogUi {
 public:
  virtual ~DialogUi() = default;
  // Asks which profile to change; false when the user closed the choice.
  virtual bool chooseProfile(const std::vector<std::string>& profiles, bool remove,
                             int* chosen) = 0;
  // Shows string table entry messageId with the icon, under the caption "Norvex_Express".
  virtual void showMessage(int messageId, unsigned icon) = 0;
};

void OnAddClicked(ProfileOperations& operations, DialogUi& ui);
void OnRemoveClicked(ProfileOperations& operations, DialogUi& ui);

// The string table's text for an id, in UTF-8 (empty for an unknown id).
const char* messageText(int messageId);
