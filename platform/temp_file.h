// Temporary files in the user's temporary folder, named with the prefix "VT_".
#pragma once

#include <string>

namespace platform {

// Creates a new empty file and returns its name; empty on failure. The caller removes it.
std::string makeTempFileName();

// Owns one temporary file and removes it when it goes.
class TempFile {
 public:
  TempFile() : path_(makeTempFileName()) {}
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  bool valid() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace platform
