#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/console_output.h"

bool writeStandardOutput(const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok;
}

// Only a regular file is taken: opening a FIFO without a reader would wait for ever.
std::FILE* openFileForAppend(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  struct stat info;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "ab");
  if (!file) close(fd);
  return file;
}
