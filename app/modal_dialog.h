// A small layer over USER32's modal dialogs: one object per dialog run, a dialog procedure
// that dispatches to the object's virtual handlers, and control objects bound to the
// dialog's controls by id. The object does not own its parent; the window it shows lives
// only while DoModal runs, and control objects hold handles that end with it.
#pragma once

#include <windows.h>

#include <string>

// A child control of a dialog, found by its id while the dialog is open.
class DialogControl {
 public:
  HWND handle() const { return handle_; }
  bool bound() const { return handle_ != nullptr; }
  void SetText(const std::wstring& text);
  std::wstring GetText() const;
  void Enable(bool enabled);

 private:
  friend class ModalDialog;
  HWND handle_ = nullptr;
};

// A single-selection list box.
class ListBoxControl : public DialogControl {
 public:
  // The new entry's index, or -1 when the list box refused it.
  int AddString(const std::wstring& text);
  void SetCurSel(int index);
  // The selected index, or -1 with no selection.
  int GetCurSel() const;
  int GetCount() const;
};

class ModalDialog {
 public:
  ModalDialog(int templateId, HWND parent);
  virtual ~ModalDialog() = default;
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  // Shows the dialog and runs its loop until it ends; the value it ended with (IDOK,
  // IDCANCEL), or -1 when the dialog could not be created.
  INT_PTR DoModal();
  HWND window() const { return window_; }

 protected:
  // Binds the controls; the base binds none. False ends the dialog with -1.
  virtual bool DoDataExchange() { return true; }
  // Binds the controls through DoDataExchange; true lets the system set the focus.
  virtual BOOL OnInitDialog();
  virtual void OnOK() { EndDialog(window_, IDOK); }
  virtual void OnCancel() { EndDialog(window_, IDCANCEL); }
  // A command other than IDOK and IDCANCEL; true when handled.
  virtual bool OnCommand(int id, int notification);
  // Any other message; true when handled, with the procedure's value in *result.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

  // Looks up control id of the open dialog; false when the template has no such control.
  bool BindControl(int id, DialogControl* control);
  // Sets the icon as the window's big and small icon.
  void SetIcon(HICON icon);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND parent_;
  HWND window_ = nullptr;
};

// The icon resource id at the system's icon size, from the program's own module.
HICON loadProgramIcon(int resourceId);
// A string table entry of the program's own module, whole; empty when there is none.
std::wstring loadResourceString(int id);
