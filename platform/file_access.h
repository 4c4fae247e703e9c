// Whether a file can be replaced by this process, asked before a write and to explain one
// that failed. Nothing is kept open (under Windows the checks open the file and its folder and
// close them at once).
#pragma once

#include <string>

namespace platform {

// True when the system will not let us replace the existing file at path: it refuses us
// writing or deleting it (no write permission, an ACL, the read-only attribute, an immutable
// file) or the folder the path names takes no new files. A bare file name names no folder:
// POSIX then asks of the working folder, Windows asks of none. False when the file is writable,
// missing or a folder, and under Windows when an open fails for another reason than a refusal
// (another process holds the file).
bool isReadOnlyFile(const std::string& path);
// Whether a replacement made by this process can be given the existing file's owner and group
// (on POSIX: as root, or as the owner and a member of the group; Windows keeps them in the
// replace itself). True for a missing file.
bool canKeepOwner(const std::string& path);
// Whether anything stands at path: a file, a folder, a link (not followed, dangling or not).
bool nameTaken(const std::string& path);
// Whether the two existing files have the same owner; true when either cannot be read.
bool sameOwner(const std::string& first, const std::string& second);

}  // namespace platform
