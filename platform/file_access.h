// Whether a file can be replaced by this process, asked before a write and to explain one
// that failed. Nothing is opened or kept.
#pragma once

#include <string>

namespace platform {

// True when the existing file at path is read-only to us (no write permission, or the
// read-only attribute) or its folder takes no new files; false when it is writable or missing.
bool isReadOnlyFile(const std::string& path);
// Whether a replacement made by this process can be given the existing file's owner and group
// (on POSIX: as root, or as the owner and a member of the group; Windows keeps them in the
// replace itself). True for a missing file.
bool canKeepOwner(const std::string& path);

}  // namespace platform
