#include <windows.h>

#include "platform/run_lock.h"

namespace platform {

// A named mutex in the global namespace, seen by every session. One whose owner ended
// without releasing it (WAIT_ABANDONED) is ours all the same.
bool RunLock::acquire(unsigned seconds) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Global\\NorvexExpress");
  if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)
    mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\NorvexExpress");
  if (!mutex) return true;
  DWORD waited = WaitForSingleObject(mutex, seconds * 1000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return true;
}

RunLock::~RunLock() {
  if (handle_ == -1) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace platform
