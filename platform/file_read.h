// Reading a user's file whole, and telling whether it is still the file that was read.
//
// Only regular files are opened: a FIFO, a device (CON, AUX, COM1 under Windows) or a folder
// fails at once, without blocking. The caller owns the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// What identifies one version of a file on disk: a save by anybody changes at least one.
struct FileIdentity {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, in the platform's own epoch
  std::uint64_t volume = 0;
  std::uint64_t fileIndex = 0;  // inode, or the NTFS file index
  bool operator==(const FileIdentity& o) const {
    return size == o.size && modifiedNs == o.modifiedNs && volume == o.volume &&
           fileIndex == o.fileIndex;
  }
  bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

enum class FileReadResult {
  kRead,
  kMissing,     // no such file or folder on the way
  kNotRegular,  // a FIFO, a device, a folder
  kTooLarge,    // larger than the limit the caller gave
  kNoMemory,
  kFailed,  // cannot be opened or read (access denied, read error)
};

constexpr std::uint64_t kNoSizeLimit = ~std::uint64_t{0};

// Reads the regular file at path in pieces of at most 64 KiB and hands each to consume, in
// order; kFailed as soon as consume returns false. identity, when given, is that of the file
// the pieces came from.
FileReadResult readRegularFileInPieces(const std::string& path, std::uint64_t maxSize,
                                       const std::function<bool(const char*, std::size_t)>& consume,
                                       FileIdentity* identity = nullptr);
// Reads the whole regular file at path, no more than maxSize bytes. identity, when given,
// is that of the file the bytes came from.
FileReadResult readRegularFile(const std::string& path, std::uint64_t maxSize, std::string* bytes,
                               FileIdentity* identity = nullptr);
// The identity of the regular file at path; kRead, kMissing, kNotRegular or kFailed.
FileReadResult readFileIdentity(const std::string& path, FileIdentity* identity);

// Whether path names a file independently of the working folder ("/x" here; "C:\x" or
// "\\server\share\x" under Windows).
bool isAbsolutePath(const std::string& path);

// Whether path names a network share or a device rather than a local file: "\\server\share",
// "\\?\UNC\", "\\.\" and every other path that begins with two separators, except a local
// drive written "\\?\C:\". The same text rule on every platform.
bool isNetworkPath(const std::string& path);

}  // namespace platform
