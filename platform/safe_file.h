// Whole-file replacement: the new content goes to a new file in the same folder and replaces
// the original only when it is complete. Until commit() succeeds the original is untouched;
// the new file is removed by the destructor unless it was committed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

class ReplacementFile {
 public:
  explicit ReplacementFile(std::string path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates a new, unique file beside the target and opens it for writing ("w+b").
  bool open();
  std::FILE* stream() { return stream_; }
  // For writers that need a path: close the stream, then write the file by name.
  const std::string& newPath() const { return newPath_; }
  bool closeStream();
  // Flushes the new file to disk and moves it over the target. On failure the target is as
  // it was and the new file is gone.
  bool commit();

 private:
  void discard();
  std::string path_;
  std::string newPath_;
  std::FILE* stream_ = nullptr;
  bool writeFailed_ = false;
  bool committed_ = false;
};

// Replaces path's content with size bytes of data, safely.
bool replaceFileContents(const std::string& path, const void* data, std::size_t size);

// Platform parts of the replacement.
bool createUniqueFileBeside(const std::string& path, std::string* newPath);
bool flushFileToDisk(const std::string& path);
bool moveFileOver(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);

}  // namespace platform
