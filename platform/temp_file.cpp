#include "platform/temp_file.h"

#include "platform/safe_file.h"

namespace platform {

TempFile::~TempFile() {
  if (!path_.empty()) removeFile(path_);
}

}  // namespace platform
