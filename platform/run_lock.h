// The machine-wide lock of the runs that may write: one at a time, so that two runs never
// edit the same file or hive together. Released when the object goes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Takes the lock, waiting up to seconds for another run to give it up; false when it is
  // still held then. A lock that cannot be made at all does not stop the run.
  bool acquire(unsigned seconds);

 private:
  std::string path_;  // the lock file, removed by its holder when it goes (POSIX)
  std::intptr_t handle_ = -1;  // the mutex (Windows) or the lock file's descriptor (POSIX)
};

}  // namespace platform
