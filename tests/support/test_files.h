// Files and folders for the tests: whole-file reads and writes, folder listings, a private
// folder removed with everything in it, and work run where files may not grow past a limit.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_read.h"

namespace test_support {

// The whole regular file. One that cannot be read fails the test (and gives no bytes): a
// missing file never passes for an empty one.
inline std::string readFile(const std::string& path) {
  std::string bytes;
  if (platform::readRegularFile(path, platform::kNoSizeLimit, &bytes) !=
      platform::FileReadResult::kRead)
    ADD_FAILURE() << "cannot read " << path;
  return bytes;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The names in the folder, sorted, without "." and "..".
inline std::vector<std::string> folderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
        names.push_back(entry->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A new folder below /tmp, removed with its contents when the object ends.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/nvx_test_XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~TempFolder() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool valid() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs work in a child process in which no file may grow past limit bytes, as on a disk that
// fills up. The child's exit code is work's result; -1 when the child did not end normally.
inline int runWithFileSizeLimit(rlim_t limit, const std::function<int()>& work) {
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    _exit(work());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace test_support
