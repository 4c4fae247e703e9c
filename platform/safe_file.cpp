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
  if (!closeStream() || !flushFileToDisk(newPath_) || !moveFileOver(newPath_, path_)) {
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

bool replaceFileContents(const std::string& path, const void* data, std::size_t size) {
  ReplacementFile file(path);
  if (!file.open()) return false;
  if (size && std::fwrite(data, 1, size, file.stream()) != size) return false;
  return file.commit();
}

}  // namespace platform
