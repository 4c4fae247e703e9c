#include "platform/file_read.h"

#include <new>

namespace platform {

const OpenedFile* OpenedFile::pinned_ = nullptr;

FileReadResult readRegularFileInPieces(const std::string& path, std::uint64_t maxSize,
                                       const std::function<bool(const char*, std::size_t)>& consume,
                                       FileIdentity* identity) {
  if (const OpenedFile* pinned = OpenedFile::pinnedFor(path)) {
    if (identity) *identity = pinned->identity();
    return pinned->readInPieces(maxSize, consume);
  }
  return readNamedFileInPieces(path, maxSize, consume, identity);
}

FileReadResult readRegularFile(const std::string& path, std::uint64_t maxSize, std::string* bytes,
                               FileIdentity* identity) {
  bytes->clear();
  FileIdentity found;
  bool outOfMemory = false;
  auto consume = [&](const char* data, std::size_t size) {
    try {
      // The size measured at the open, as a hint: the file may still grow or shrink.
      if (bytes->empty() && found.size <= maxSize) bytes->reserve(static_cast<size_t>(found.size));
      bytes->append(data, size);
      return true;
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
      return false;
    }
  };
  FileReadResult result = readRegularFileInPieces(path, maxSize, consume, &found);
  if (outOfMemory) result = FileReadResult::kNoMemory;
  if (result != FileReadResult::kRead) {
    bytes->clear();
    bytes->shrink_to_fit();
    return result;
  }
  if (identity) *identity = found;
  return result;
}

bool isNetworkPath(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() < 2 || !separator(path[0]) || !separator(path[1])) return false;
  const bool drive = path.size() >= 7 && path[2] == '?' && separator(path[3]) &&
                     ((path[4] | 0x20) >= 'a' && (path[4] | 0x20) <= 'z') && path[5] == ':' &&
                     separator(path[6]);
  return !drive;
}

}  // namespace platform
