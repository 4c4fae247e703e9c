// Whether a file can be replaced by this process, asked before a write and to explain one
// that failed. Nothing is opened or kept.
#pragma once

#include <string>

namespace platform {

// True when the existing file at path is read-only to us (no write permission, or the
// read-only attribute) or its folder takes no new files; false when it is writable or missing.
bool isReadOnlyFile(const std::string& path);

}  // namespace platform
