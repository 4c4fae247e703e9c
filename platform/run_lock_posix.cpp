#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/registry_file.h"
#include "platform/run_lock.h"

namespace platform {

// flock on a file beside the substitute registry, which stands for the machine. The holder
// removes the file when it goes, so a lock taken on a file that no longer has the name is
// given up and taken again on the new one.
bool RunLock::acquire(unsigned seconds) {
  path_ = registryFilePath() + ".lock";
  for (unsigned tries = 0;; ++tries) {
    int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return true;  // no lock can be made; the run goes on without one
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat held, named;
      if (fstat(fd, &held) == 0 && stat(path_.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        handle_ = fd;
        return true;
      }
      close(fd);
      continue;
    }
    const bool busy = errno == EWOULDBLOCK || errno == EINTR;
    close(fd);
    if (!busy) return true;
    if (tries >= seconds * 10) return false;
    const timespec pause = {0, 100 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
}

RunLock::~RunLock() {
  if (handle_ < 0) return;
  unlink(path_.c_str());
  close(static_cast<int>(handle_));  // closing gives up the lock
}

}  // namespace platform
