#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/file_access.h"

namespace platform {

bool isReadOnlyFile(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // The replacement refuses a file without any write permission, whoever runs it, and one the
  // caller may not write itself although its folder would allow a rename (an immutable file,
  // another's file).
  if (!(info.st_mode & 0222) || access(path.c_str(), W_OK) != 0) return true;
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
  return access(folder.c_str(), W_OK) != 0;
}

bool canKeepOwner(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return true;
  if (geteuid() == 0) return true;
  if (info.st_uid != geteuid()) return false;
  if (info.st_gid == getegid()) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[static_cast<size_t>(i)] == info.st_gid) return true;
  return false;
}

bool nameTaken(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

bool sameOwner(const std::string& first, const std::string& second) {
  struct stat one, other;
  if (stat(first.c_str(), &one) != 0 || stat(second.c_str(), &other) != 0) return true;
  return one.st_uid == other.st_uid && one.st_gid == other.st_gid;
}

}  // namespace platform
