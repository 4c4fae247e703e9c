#include <windows.h>

#include "platform/run_lock.h"
#include "platform/unique_handle_win32.h"

namespace platform {

// A named mutex in the global namespace, seen by every session. One whose owner ended
// without releasing it (WAIT_ABANDONED) is ours all the same.
bool RunLock::acquire(unsigned seconds) {
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Global\\NorvexExpress"));
  if (!mutex.valid() && GetLastError() == ERROR_ACCESS_DENIED)
    mutex.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\NorvexExpress"));
  if (!mutex.valid()) return true;
  DWORD waited = WaitForSingleObject(mutex.get(), seconds * 1000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
  handle_ = reinterpret_cast<std::intptr_t>(mutex.release());
  return true;
}

RunLock::~RunLock() {
  if (handle_ == -1) return;
  UniqueHandle mutex(reinterpret_cast<HANDLE>(handle_));
  ReleaseMutex(mutex.get());
}

}  // namespace platform
