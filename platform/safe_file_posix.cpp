#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/safe_file.h"

namespace platform {

namespace {

bool processIsGone(pid_t pid) {
  return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

FileStep stepOf(int error) {
  return error == EBUSY || error == ETXTBSY ? FileStep::kSharingViolation : FileStep::kFailed;
}

}  // namespace

FileStep moveFileToNewName(const std::string& from, const std::string& to) {
  // A link names the file without replacing anything at to; then the old name goes.
  if (link(from.c_str(), to.c_str()) != 0) return stepOf(errno);
  unlink(from.c_str());
  return FileStep::kDone;
}

bool resolveReplacementTarget(const std::string& path, std::string* target) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
    *target = path;
    return true;
  }
  // The link stays; the file it points at is replaced. A dangling link is not followed.
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return false;
  *target = resolved;
  std::free(resolved);
  return true;
}

std::FILE* createUniqueFileBeside(const std::string& path, const std::string& identitySource,
                                  std::string* newPath) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return nullptr;
    // A file without any write permission is read-only to us, whoever we run as.
    if (!(info.st_mode & 0222)) return nullptr;
  }
  bool haveSource = stat(identitySource.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  // Made in full before the file, so that nothing can fail between creating it and naming it;
  // mkstemp makes the unique part.
  std::string name = path + kNewMarker + std::to_string(getpid()) + "-XXXXXX";
  int fd = mkstemp(&name[0]);
  if (fd < 0) return nullptr;
  bool ok = true;
  if (haveSource) {
    // Owner first: a change of owner clears the set-id bits that the mode then restores. Without
    // root rights the file must be ours and its group one of ours, or the replacement would
    // take another owner or group.
    if (geteuid() == 0)
      ok = fchown(fd, info.st_uid, info.st_gid) == 0;
    else
      ok = info.st_uid == geteuid() && fchown(fd, static_cast<uid_t>(-1), info.st_gid) == 0;
    ok = ok && fchmod(fd, info.st_mode & 07777) == 0;
  }
  std::FILE* stream = ok ? fdopen(fd, "w+b") : nullptr;
  if (!stream) {
    close(fd);
    unlink(name.c_str());
    return nullptr;
  }
  *newPath = std::move(name);
  return stream;
}

void removeStaleNewFiles(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + kNewMarker;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) continue;
    const char* rest = name + prefix.size();
    char* end = nullptr;
    long pid = std::strtol(rest, &end, 10);
    // Exactly the pattern above: digits, "-", six characters of mkstemp's.
    if (end == rest || *end != '-' || std::strlen(end + 1) != 6) continue;
    if (pid == getpid() || !processIsGone(static_cast<pid_t>(pid))) continue;
    std::string stale = (slash == std::string::npos ? std::string() : folder) + name;
    struct stat info;
    if (lstat(stale.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(stale.c_str());
  }
  closedir(dir);
}

bool flushStreamToDisk(std::FILE* stream) {
  return fsync(fileno(stream)) == 0;
}

bool flushFileToDisk(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

FileStep moveFileOver(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? FileStep::kDone : stepOf(errno);
}

bool removeFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

std::size_t maxPathLength() {
  return PATH_MAX - 1;
}

void sleepMilliseconds(unsigned milliseconds) {
  usleep(static_cast<useconds_t>(milliseconds) * 1000);
}

}  // namespace platform
