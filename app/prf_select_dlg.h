// The profile selection dialog (template 129): offers the caller's profile names in the
// caller's order and, on OK, stores the chosen position in the caller's integer. It reads
// the caller's list, which must outlive it, and changes nothing else.
#pragma once

#include <string>
#include <vector>

#include "app/modal_dialog.h"

class CPrfSelectDlg : public ModalDialog {
 public:
  CPrfSelectDlg(const std::vector<std::string>* profiles, int* selected, HWND parent);

  // Remove mode: the prompt asks which profile to remove the add-on from.
  bool m_bRemove = false;

 protected:
  bool DoDataExchange() override;
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  DialogControl m_prompt;
  DialogControl m_okButton;
  ListBoxControl m_profileList;
  HICON m_hIcon;
  int* m_pSelected;
  const std::vector<std::string>* m_pProfiles;
};
