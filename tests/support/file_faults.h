// File operations for tests: they do the system's work on disk, but the step a test names
// fails, a replace gives the outcome a test names (taking the target's name away where that
// outcome says so), and pauses are only added up. Put in place with ScopedFileOperations.
#pragma once

#include <functional>

#include "platform/file_operations.h"

namespace test_support {

class FileFaults : public platform::FileOperations {
 public:
  using Step = platform::FileStep;

  int failingStep = 0;  // this step, counted from 1, fails; 0 fails none
  int steps = 0;        // steps taken so far: creating, writing, flushing, identity, replace, move
  // The first replaceTimes replaces give replaceGives instead of replacing.
  Step replaceGives = Step::kDone;
  int replaceTimes = 0;
  // Once a replace gave kTargetGone, so many moves fail with a sharing violation.
  int movesFailingAfterGone = 0;
  unsigned pausedMs = 0;
  std::function<void()> onPause;  // what happens elsewhere while the save waits

  std::FILE* createNew(const std::string& path, const std::string& identitySource,
                       std::string* newPath) override {
    return step() ? system().createNew(path, identitySource, newPath) : nullptr;
  }
  bool write(std::FILE* stream, const void* data, std::size_t size) override {
    return step() && system().write(stream, data, size);
  }
  bool flush(std::FILE* stream, bool toDisk) override {
    return step() && system().flush(stream, toDisk);
  }
  bool flushFile(const std::string& path) override { return step() && system().flushFile(path); }
  platform::FileReadResult identity(const std::string& path,
                                    platform::FileIdentity* identity) override {
    return step() ? system().identity(path, identity) : platform::FileReadResult::kFailed;
  }
  Step replace(const std::string& from, const std::string& to) override {
    if (!step()) return Step::kFailed;
    if (replaceTimes > 0 && replaceGives != Step::kDone) {
      --replaceTimes;
      // The worst of the half-done replaces: the original is gone, the new file kept its name.
      if (replaceGives == Step::kTargetGone) {
        system().remove(to);
        gone_ = true;
      }
      return replaceGives;
    }
    return system().replace(from, to);
  }
  Step move(const std::string& from, const std::string& to) override {
    if (!step()) return Step::kFailed;
    if (gone_ && movesFailingAfterGone > 0) {
      --movesFailingAfterGone;
      return Step::kSharingViolation;
    }
    return system().move(from, to);
  }
  bool remove(const std::string& path) override { return system().remove(path); }
  void pause(unsigned milliseconds) override {
    pausedMs += milliseconds;
    if (onPause) onPause();
  }

 private:
  static platform::FileOperations& system() { return platform::systemFileOperations(); }
  bool step() { return ++steps != failingStep; }
  bool gone_ = false;
};

}  // namespace test_support
