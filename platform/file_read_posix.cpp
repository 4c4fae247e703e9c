#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_read.h"

namespace platform {

namespace {

FileIdentity identityOf(const struct stat& info) {
  FileIdentity identity;
  identity.size = static_cast<std::uint64_t>(info.st_size);
  identity.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                        static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.fileIndex = static_cast<std::uint64_t>(info.st_ino);
  return identity;
}

FileReadResult failureOf(int error) {
  return error == ENOENT || error == ENOTDIR ? FileReadResult::kMissing : FileReadResult::kFailed;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The file open as fd from its start, in pieces, whatever its position: the pinned file is read
// more than once.
FileReadResult readPieces(int fd, std::uint64_t maxSize,
                          const std::function<bool(const char*, std::size_t)>& consume) {
  std::uint64_t total = 0;
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = pread(fd, buffer, sizeof buffer, static_cast<off_t>(total));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FileReadResult::kFailed;
    if (got == 0) return FileReadResult::kRead;
    // The file may have grown since it was measured; the limit still holds.
    total += static_cast<std::uint64_t>(got);
    if (total > maxSize) return FileReadResult::kTooLarge;
    if (!consume(buffer, static_cast<std::size_t>(got))) return FileReadResult::kFailed;
  }
}

}  // namespace

FileReadResult readNamedFileInPieces(const std::string& path, std::uint64_t maxSize,
                                     const std::function<bool(const char*, std::size_t)>& consume,
                                     FileIdentity* identity) {
  // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer.
  Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return failureOf(errno);
  struct stat info;
  if (fstat(fd.get(), &info) != 0) return FileReadResult::kFailed;
  if (!S_ISREG(info.st_mode)) return FileReadResult::kNotRegular;
  if (static_cast<std::uint64_t>(info.st_size) > maxSize) return FileReadResult::kTooLarge;
  if (identity) *identity = identityOf(info);
  return readPieces(fd.get(), maxSize, consume);
}

FileReadResult OpenedFile::open(const std::string& path) {
  close();
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failureOf(errno);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    ::close(fd);
    return FileReadResult::kFailed;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return FileReadResult::kNotRegular;
  }
  handle_ = fd;
  path_ = path;
  identity_ = identityOf(info);
  return FileReadResult::kRead;
}

void OpenedFile::close() {
  if (pinned_ == this) pinned_ = nullptr;
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool OpenedFile::writableBy(const std::string& /*sid*/, const std::string& profileFolder) const {
  struct stat file, folder;
  return handle_ >= 0 && fstat(static_cast<int>(handle_), &file) == 0 &&
         stat(profileFolder.c_str(), &folder) == 0 && file.st_uid == folder.st_uid;
}

FileReadResult OpenedFile::readInPieces(
    std::uint64_t maxSize, const std::function<bool(const char*, std::size_t)>& consume) const {
  if (handle_ < 0) return FileReadResult::kFailed;
  return readPieces(static_cast<int>(handle_), maxSize, consume);
}

FileReadResult readFileIdentity(const std::string& path, FileIdentity* identity) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return failureOf(errno);
  if (!S_ISREG(info.st_mode)) return FileReadResult::kNotRegular;
  *identity = identityOf(info);
  return FileReadResult::kRead;
}

bool isAbsolutePath(const std::string& path) {
  return !path.empty() && path[0] == '/';
}

}  // namespace platform
