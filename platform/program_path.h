// Where this program is, and paths made whole, for a command that runs it again later.
// Plain values; nothing to free.
#pragma once

#include <string>

namespace platform {

// The full path of this program's executable, in UTF-8; false when the system cannot tell.
bool programPath(std::string* path);
// path made absolute against the current folder, in UTF-8; an absolute path as it is.
bool absolutePath(const std::string& path, std::string* absolute);

}  // namespace platform
