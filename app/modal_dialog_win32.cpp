#include "app/modal_dialog.h"

#include <vector>

void DialogControl::SetText(const std::wstring& text) {
  if (handle_) SetWindowTextW(handle_, text.c_str());
}

std::wstring DialogControl::GetText() const {
  if (!handle_) return std::wstring();
  int length = GetWindowTextLengthW(handle_);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(handle_, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void DialogControl::Enable(bool enabled) {
  if (handle_) EnableWindow(handle_, enabled ? TRUE : FALSE);
}

int ListBoxControl::AddString(const std::wstring& text) {
  if (!handle()) return -1;
  LRESULT index = SendMessageW(handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return index < 0 ? -1 : static_cast<int>(index);
}

void ListBoxControl::SetCurSel(int index) {
  if (handle()) SendMessageW(handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int ListBoxControl::GetCurSel() const {
  if (!handle()) return -1;
  LRESULT index = SendMessageW(handle(), LB_GETCURSEL, 0, 0);
  return index < 0 ? -1 : static_cast<int>(index);
}

int ListBoxControl::GetCount() const {
  if (!handle()) return 0;
  LRESULT count = SendMessageW(handle(), LB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<int>(count);
}

ModalDialog::ModalDialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

INT_PTR ModalDialog::DoModal() {
  INT_PTR result =
      DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                      &ModalDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  return result;
}

BOOL ModalDialog::OnInitDialog() {
  if (!DoDataExchange()) {
    EndDialog(window_, -1);
    return FALSE;
  }
  return TRUE;
}

bool ModalDialog::OnCommand(int, int) {
  return false;
}

bool ModalDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) {
  return false;
}

bool ModalDialog::BindControl(int id, DialogControl* control) {
  control->handle_ = GetDlgItem(window_, id);
  return control->handle_ != nullptr;
}

void ModalDialog::SetIcon(HICON icon) {
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

INT_PTR CALLBACK ModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ModalDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<ModalDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->window_ = window;
  } else {
    dialog = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) go to the system's defaults.
  if (!dialog) return FALSE;
  return dialog->Dispatch(message, wParam, lParam);
}

INT_PTR ModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int notification = HIWORD(wParam);
      if (id == IDOK && (notification == BN_CLICKED || lParam == 0)) {
        OnOK();
        return TRUE;
      }
      if (id == IDCANCEL && (notification == BN_CLICKED || lParam == 0)) {
        OnCancel();
        return TRUE;
      }
      return OnCommand(id, notification) ? TRUE : FALSE;
    }
    default: {
      INT_PTR result = FALSE;
      if (OnMessage(message, wParam, lParam, &result)) return result;
      return FALSE;
    }
  }
}

HICON loadProgramIcon(int resourceId) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                       IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                       GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED));
}

std::wstring loadResourceString(int id) {
  // With a zero buffer size LoadStringW hands out the resource's own text and its length,
  // so the text is never cut to a buffer.
  const wchar_t* text = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                           reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}
