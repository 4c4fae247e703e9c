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

// A regular file opened once (after links) and held: its identity, its owner and a copy of it
// all come from the one handle, so that a name changed meanwhile (a link swapped in) changes
// nothing that was checked. While it is pinned, readRegularFile and readRegularFileInPieces of
// its path read this file from its start instead of opening the name again. The pin is
// process-wide, for one thread: one file at a time, until it is closed or destroyed.
class OpenedFile {
 public:
  OpenedFile() = default;
  ~OpenedFile() { close(); }
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  // kRead, kMissing, kNotRegular or kFailed.
  FileReadResult open(const std::string& path);
  void close();
  const std::string& path() const { return path_; }
  const FileIdentity& identity() const { return identity_; }
  // Whether the user may write the file: on Windows its owner is sid or an access check for sid
  // grants writing and deleting; on POSIX its owner is the owner of the user's profileFolder.
  bool writableBy(const std::string& sid, const std::string& profileFolder) const;
  // The file's bytes from its start, in pieces of at most 64 KiB.
  FileReadResult readInPieces(std::uint64_t maxSize,
                              const std::function<bool(const char*, std::size_t)>& consume) const;
  void pin() { pinned_ = this; }
  // The pinned file opened at path, if any.
  static const OpenedFile* pinnedFor(const std::string& path) {
    return pinned_ && pinned_->path_ == path ? pinned_ : nullptr;
  }

 private:
  static const OpenedFile* pinned_;
  std::string path_;
  std::intptr_t handle_ = -1;
  FileIdentity identity_;
};

// The platform part of readRegularFileInPieces: the file the name leads to now, pinned or not.
FileReadResult readNamedFileInPieces(const std::string& path, std::uint64_t maxSize,
                                     const std::function<bool(const char*, std::size_t)>& consume,
                                     FileIdentity* identity);

// Whether path names a file independently of the working folder ("/x" here; "C:\x" or
// "\\server\share\x" under Windows).
bool isAbsolutePath(const std::string& path);

// Whether path names a network share or a device rather than a local file: "\\server\share",
// "\\?\UNC\", "\\.\" and every other path that begins with two separators, except a local
// drive written "\\?\C:\". The same text rule on every platform.
bool isNetworkPath(const std::string& path);

}  // namespace platform
