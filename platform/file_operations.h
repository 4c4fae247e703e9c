// The file operations a save is made of, behind one interface so that tests can give every
// outcome the system can, a replace that half fails among them. fileOperations() is the one
// the process uses: the system's, unless a test put its own in place with
// ScopedFileOperations. Nothing here owns the files it names.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/file_read.h"

namespace platform {

// What a replace or a move did.
enum class FileStep {
  kDone,
  kFailed,            // nothing changed: the target and the new file are as they were
  kSharingViolation,  // another process holds one of the files (a scanner, an indexer)
  kAccessDenied,      // refused, perhaps only while another process holds a file
  kLockViolation,     // a region of a file is locked
  kTargetGone,        // the replace took the target's name away but could not give it the new file
};

// Whether the step may succeed when tried again shortly.
inline bool transientStep(FileStep step) {
  return step == FileStep::kSharingViolation || step == FileStep::kAccessDenied ||
         step == FileStep::kLockViolation;
}

class FileOperations {
 public:
  virtual ~FileOperations() = default;
  // Creates an empty new file beside path that takes identitySource's owner, group and
  // permissions when that file exists, open for writing ("w+b"). Null on failure, and then no
  // new file is left.
  virtual std::FILE* createNew(const std::string& path, const std::string& identitySource,
                               std::string* newPath) = 0;
  virtual bool write(std::FILE* stream, const void* data, std::size_t size) = 0;
  // Flushes the stream's buffer and, with toDisk, its file to disk.
  virtual bool flush(std::FILE* stream, bool toDisk) = 0;
  // Flushes a file written by name to disk.
  virtual bool flushFile(const std::string& path) = 0;
  virtual FileReadResult identity(const std::string& path, FileIdentity* identity) = 0;
  // Moves from over the existing file to, keeping what the system keeps of to's identity; a
  // to that does not exist is simply given the name.
  virtual FileStep replace(const std::string& from, const std::string& to) = 0;
  // Gives the file from the name to, which must not exist (not even as a link).
  virtual FileStep move(const std::string& from, const std::string& to) = 0;
  virtual bool remove(const std::string& path) = 0;
  // Waits between two tries of a step.
  virtual void pause(unsigned milliseconds) = 0;
};

FileOperations& systemFileOperations();
FileOperations& fileOperations();

// Tries step until finished(result) holds, again after each of a few growing pauses (about two
// seconds in all, taken through fileOperations()) while another process may hold things up.
// The last result.
template <typename Step, typename Finished>
auto retryStep(Step step, Finished finished) -> decltype(step()) {
  static constexpr unsigned kPauses[] = {50, 100, 200, 400, 500, 750};
  auto result = step();
  for (unsigned pause : kPauses) {
    if (finished(result)) break;
    fileOperations().pause(pause);
    result = step();
  }
  return result;
}

// Puts operations in place of the process's own while it lives.
class ScopedFileOperations {
 public:
  explicit ScopedFileOperations(FileOperations& operations);
  ~ScopedFileOperations();
  ScopedFileOperations(const ScopedFileOperations&) = delete;
  ScopedFileOperations& operator=(const ScopedFileOperations&) = delete;

 private:
  FileOperations* previous_;
};

}  // namespace platform
