#include <limits.h>
#include <unistd.h>

#include <vector>

#include "platform/file_read.h"
#include "platform/program_path.h"

namespace platform {

bool programPath(std::string* path) {
  std::vector<char> buffer(PATH_MAX + 1);
  ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  // A name that fills the buffer may have been cut.
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return false;
  path->assign(buffer.data(), static_cast<size_t>(length));
  return true;
}

bool absolutePath(const std::string& path, std::string* absolute) {
  if (path.empty()) return false;
  if (isAbsolutePath(path)) {
    *absolute = path;
    return true;
  }
  std::vector<char> buffer(PATH_MAX + 1);
  if (!getcwd(buffer.data(), buffer.size())) return false;
  std::string folder = buffer.data();
  *absolute = folder + (folder.back() == '/' ? "" : "/") + path;
  return true;
}

}  // namespace platform
