#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/console_output.h"
#include "app/czech_texts.h"

bool writeStandardOutput(const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok;
}

bool writeStandardError(const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), stderr) == text.size();
  return std::fflush(stderr) == 0 && ok;
}

// Only a regular file with one name is taken, and a link never: opening a FIFO without a
// reader would wait for ever, and a planted link would make a privileged run append to a
// file of the planter's choice.
std::FILE* openFileForAppend(const std::string& path, std::string* reason) {
  const int flags = O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  int fd = open(path.c_str(), O_RDWR | flags, 0644);
  // A log we may write but not read still takes lines; only the last line end goes unchecked.
  const bool readable = fd >= 0;
  if (fd < 0) fd = open(path.c_str(), O_WRONLY | flags, 0644);
  if (fd < 0) {
    *reason = errno == ELOOP ? NVX_TEXT_LOG_IS_LINK : std::strerror(errno);
    return nullptr;
  }
  struct stat info;
  int status = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 || status < 0 ||
      fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
    *reason = !S_ISREG(info.st_mode) ? NVX_TEXT_LOG_NOT_REGULAR
              : info.st_nlink != 1   ? NVX_TEXT_LOG_MANY_NAMES
                                     : std::strerror(errno);
    close(fd);
    return nullptr;
  }
  // A run cut off in the middle of a line: the next line begins on its own.
  char last = '\n';
  if (readable && info.st_size > 0 && pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n' &&
      write(fd, "\n", 1) != 1) {
    *reason = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "ab");
  if (!file) {
    *reason = std::strerror(errno);
    close(fd);
  }
  return file;
}

std::string lastWriteError() {
  return std::strerror(errno);
}
