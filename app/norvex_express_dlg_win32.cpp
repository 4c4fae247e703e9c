#include "app/norvex_express_dlg.h"

#include "app/prf_select_dlg.h"
#include "app/resource.h"

CNorvexExpressDlg::CNorvexExpressDlg(ProfileOperations& operations, HWND parent)
    : ModalDialog(IDD_NORVEXEXPRESS_DIALOG, parent),
      m_hIcon(loadProgramIcon(IDR_MAINFRAME)),
      operations_(operations) {}

BOOL CNorvexExpressDlg::OnInitDialog() {
  if (!ModalDialog::OnInitDialog()) return FALSE;
  SetIcon(m_hIcon);
  return TRUE;
}

bool CNorvexExpressDlg::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return false;
  if (id == IDC_ADD_BUTTON) {
    OnAddClicked(operations_, *this);
    return true;
  }
  if (id == IDC_REMOVE_BUTTON) {
    OnRemoveClicked(operations_, *this);
    return true;
  }
  return false;
}

bool CNorvexExpressDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
  if (message == WM_PAINT && IsIconic(window())) {
    OnPaint();
    *result = TRUE;
    return true;
  }
  if (message == WM_QUERYDRAGICON) {
    *result = reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    return true;
  }
  return false;
}

void CNorvexExpressDlg::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window(), &paint);
  SendMessageW(window(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(window(), &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(window(), &paint);
}

bool CNorvexExpressDlg::chooseProfile(const std::vector<std::string>& profiles, bool remove,
                                      int* chosen) {
  CPrfSelectDlg selection(&profiles, chosen, window());
  selection.m_bRemove = remove;
  return selection.DoModal() == IDOK;
}

static_assert(kIconInformation == MB_ICONINFORMATION && kIconError == MB_ICONERROR &&
                  kIconWarning == MB_ICONWARNING,
              "the dialog logic's icons are the message box's");

void CNorvexExpressDlg::showMessage(int messageId, unsigned icon) {
  const std::wstring text = loadResourceString(messageId);
  MessageBoxW(window(), text.c_str(), L"Norvex_Express", MB_OK | icon);
}
