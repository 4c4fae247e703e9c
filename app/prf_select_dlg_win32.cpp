#include "app/prf_select_dlg.h"

#include "app/resource.h"
#include "platform/code_page.h"
#include "platform/wide_text_win32.h"

CPrfSelectDlg::CPrfSelectDlg(const std::vector<std::string>* profiles, int* selected, HWND parent)
    : ModalDialog(IDD_PRFSELECT_DIALOG, parent),
      m_hIcon(loadProgramIcon(IDR_MAINFRAME)),
      m_pSelected(selected),
      m_pProfiles(profiles) {}

bool CPrfSelectDlg::DoDataExchange() {
  return BindControl(IDC_PROMPT, &m_prompt) && BindControl(IDOK, &m_okButton) &&
         BindControl(IDC_PROFILE_LIST, &m_profileList);
}

BOOL CPrfSelectDlg::OnInitDialog() {
  if (!ModalDialog::OnInitDialog()) return FALSE;
  SetIcon(m_hIcon);
  if (m_bRemove) m_prompt.SetText(loadResourceString(IDS_REMOVE_PROMPT));
  int added = 0;
  if (m_pProfiles) {
    for (const std::string& name : *m_pProfiles) {
      // The names come from the *A registry functions; bytes the code page cannot decode show
      // as the replacement character.
      std::wstring wide;
      if (platform::wideFromText(name.data(), name.size(), platform::kCodePageAnsi, &wide,
                                 platform::Unconvertible::kReplace) &&
          m_profileList.AddString(wide) >= 0)
        ++added;
    }
  }
  // A list box that refused a name would shift every later position: offer no choice then.
  const bool complete = m_pProfiles && added == static_cast<int>(m_pProfiles->size());
  if (added > 0 && complete)
    m_profileList.SetCurSel(0);
  else
    m_okButton.Enable(false);
  return TRUE;
}

void CPrfSelectDlg::OnOK() {
  const int index = m_profileList.GetCurSel();
  // Enter on a disabled OK still sends IDOK; without a selection the dialog stays open.
  if (index < 0) return;
  if (m_pSelected) *m_pSelected = index;
  ModalDialog::OnOK();
}
