#include "platform/safe_file.h"

#include <utility>

namespace platform {

ReplacementFile::ReplacementFile(std::string path) : path_(std::move(path)) {}

ReplacementFile::~ReplacementFile() {
  if (!committed_) discard();
}

bool ReplacementFile::open() {
  if (!newPath_.empty()) return false;
  if (!createUniqueFileBeside(path_, &newPath_)) {
    newPath_.clear();
    return false;
  }
  stream_ = std::fopen(newPath_.c_str(), "w+b");
  if (!stream_) {
    discard();
    return false;
  }
  return true;
}

bool ReplacementFile::write(const void* data, std::size_t size) {
  if (!stream_ || writeFailed_) return false;
  if (size && std::fwrite(data, 1, size, stream_) != size) writeFailed_ = true;
  return !writeFailed_;
}

bool ReplacementFile::closeStream() {
  if (!stream_) return !writeFailed_;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (!ok) writeFailed_ = true;
  return ok;
}

bool ReplacementFile::commit() {
  if (newPath_.empty() || committed_) return false;
  FileIdentity current;
  bool unchanged = !expectsIdentity_ || (readFileIdentity(path_, &current) == FileReadResult::kRead &&
                                         current == expected_);
  if (!closeStream() || !flushFileToDisk(newPath_) || !unchanged ||
      !moveFileOver(newPath_, path_)) {
    discard();
    return false;
  }
  committed_ = true;
  return true;
}

void ReplacementFile::discard() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!newPath_.empty()) removeFile(newPath_);
  newPath_.clear();
}

bool replaceFileContents(const std::string& path, const void* data, std::size_t size,
                         const FileIdentity* expected) {
  ReplacementFile file(path);
  if (expected) file.expectIdentity(*expected);
  return file.open() && file.write(data, size) && file.commit();
}

}  // namespace platform
