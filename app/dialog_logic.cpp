#include "app/dialog_logic.h"

#include "app/czech_texts.h"
#include "app/resource.h"

namespace {

// Told before the choice, so the user does not choose in vain, and again after it, since the
// host may have been started while the choice was open.
bool refuseWhileHostRuns(ProfileOperations& operations, DialogUi& ui) {
  if (!operations.HostIsRunning()) return false;
  ui.showMessage(IDS_HOST_RUNNING, kIconWarning);
  return true;
}

void runCommand(ProfileOperations& operations, DialogUi& ui, bool remove) {
  const int success = remove ? IDS_REMOVED : IDS_ADDED;
  const int failure = remove ? IDS_REMOVE_FAILED : IDS_ADD_FAILED;
  if (refuseWhileHostRuns(operations, ui)) return;
  std::vector<std::string> profiles;
  operations.ListProfiles(&profiles);
  if (profiles.empty()) {
    ui.showMessage(failure, kIconError);
    return;
  }
  int chosen = 0;
  if (profiles.size() > 1) {
    chosen = -1;
    if (!ui.chooseProfile(profiles, remove, &chosen)) return;
    // A confirmed choice outside the list changes nothing, and the user is told so.
    if (chosen < 0 || static_cast<size_t>(chosen) >= profiles.size()) {
      ui.showMessage(failure, kIconError);
      return;
    }
    if (refuseWhileHostRuns(operations, ui)) return;
  }
  const char* name = profiles[static_cast<size_t>(chosen)].c_str();
  bool done = remove ? operations.RemoveFromProfile(name) : operations.AddToProfile(name);
  ui.showMessage(done ? success : failure, done ? kIconInformation : kIconError);
}

}  // namespace

void OnAddClicked(ProfileOperations& operations, DialogUi& ui) {
  runCommand(operations, ui, false);
}

void OnRemoveClicked(ProfileOperations& operations, DialogUi& ui) {
  runCommand(operations, ui, true);
}

const char* messageText(int messageId) {
  switch (messageId) {
    case IDS_ADDED:
      return NVX_TEXT_ADDED;
    case IDS_ADD_FAILED:
      return NVX_TEXT_ADD_FAILED;
    case IDS_REMOVED:
      return NVX_TEXT_REMOVED;
    case IDS_REMOVE_FAILED:
      return NVX_TEXT_REMOVE_FAILED;
    case IDS_REMOVE_PROMPT:
      return NVX_TEXT_REMOVE_PROMPT;
    case IDS_HOST_RUNNING:
      return NVX_TEXT_HOST_RUNNING;
    default:
      return "";
  }
}
