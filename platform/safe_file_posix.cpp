#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/safe_file.h"

namespace platform {

bool createUniqueFileBeside(const std::string& path, std::string* newPath) {
  struct stat info;
  bool exists = stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) return false;
  // A file without any write permission is read-only to us, whoever we run as.
  if (exists && !(info.st_mode & 0222)) return false;
  // Nothing may allocate once the file exists: it would be left behind.
  std::string name = path + ".new-XXXXXX";
  int fd = mkstemp(&name[0]);
  if (fd < 0) return false;
  // Keep the original's permissions.
  if (exists) fchmod(fd, info.st_mode & 07777);
  close(fd);
  newPath->swap(name);
  return true;
}

bool flushFileToDisk(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

bool moveFileOver(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

}  // namespace platform
