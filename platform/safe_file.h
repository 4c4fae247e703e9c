// Whole-file replacement: the new content goes to a new file in the same folder and replaces
// the original only when it is complete. Until commit() succeeds the original is untouched;
// the new file is removed by the destructor unless it was committed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/file_read.h"

namespace platform {

class ReplacementFile {
 public:
  explicit ReplacementFile(std::string path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // The replacement happens only while the file at path still has this identity: a file that
  // the host or another run saved since it was read is left as it is and commit() fails.
  void expectIdentity(const FileIdentity& identity) {
    expected_ = identity;
    expectsIdentity_ = true;
  }
  // Creates a new, unique file beside the target and opens it for writing ("w+b").
  bool open();
  std::FILE* stream() { return stream_; }
  // Appends to the new file; false (and commit() fails) when the write failed.
  bool write(const void* data, std::size_t size);
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
  bool expectsIdentity_ = false;
  FileIdentity expected_;
};

// Replaces path's content with size bytes of data, safely; with expected, only while the file
// at path still has that identity.
bool replaceFileContents(const std::string& path, const void* data, std::size_t size,
                         const FileIdentity* expected = nullptr);

// Platform parts of the replacement.
bool createUniqueFileBeside(const std::string& path, std::string* newPath);
bool flushFileToDisk(const std::string& path);
bool moveFileOver(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);

}  // namespace platform
