// The main dialog (template 102): Add, Remove and Zavřít. The buttons run the handlers of
// dialog_logic.h over the caller's profile operations, which the dialog does not own; the
// selection dialog and the message boxes it shows are owned by this dialog's window.
#pragma once

#include "app/dialog_logic.h"
#include "app/modal_dialog.h"
#include "profiles/profile_operations.h"

class CNorvexExpressDlg : public ModalDialog, private DialogUi {
 public:
  CNorvexExpressDlg(ProfileOperations& operations, HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int notification) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

 private:
  void OnPaint();
  HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
  bool chooseProfile(const std::vector<std::string>& profiles, bool remove, int* chosen) override;
  void showMessage(int messageId, unsigned icon) override;

  HICON m_hIcon;
  ProfileOperations& operations_;
};
