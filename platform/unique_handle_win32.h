// Windows only: UniqueHandle, the one owner of a kernel handle (a file, a process, a token, a
// mutex, a snapshot), closed with CloseHandle when its owner goes. Null and
// INVALID_HANDLE_VALUE, which different calls return for "none", both hold nothing. An owner
// is not copied; release() hands the handle on to a new owner (the C library, a record).
#pragma once

#include <windows.h>

namespace platform {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { close(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Closes the handle held, if any, and holds handle.
  void reset(HANDLE handle) {
    close();
    handle_ = handle;
  }
  // The handle, no longer owned here.
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes the handle now; false when CloseHandle failed (a write to the file may then be lost).
  bool close() {
    const bool closed = !valid() || CloseHandle(handle_);
    handle_ = nullptr;
    return closed;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace platform
