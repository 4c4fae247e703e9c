#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/temp_file.h"

namespace platform {

std::string makeTempFileName() {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/VT_CUI_XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  close(fd);
  return name.data();
}

}  // namespace platform
