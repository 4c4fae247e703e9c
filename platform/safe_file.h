// Whole-file replacement: the new content goes to a new file in the same folder and replaces
// the original only when it is complete. Until commit() succeeds the original is untouched;
// the new file is removed by the destructor unless it was committed. A replacement keeps the
// file's identity: its owner, group and permissions (attributes and ACL under Windows), and a
// symbolic link keeps pointing at the file, which is the one replaced.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/file_operations.h"
#include "platform/file_read.h"

namespace platform {

class ReplacementFile {
 public:
  explicit ReplacementFile(std::string path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // The new file takes a name where nothing stands yet: no file, link or folder there is
  // replaced or followed, and commit() fails when something does.
  void createOnly() { createOnly_ = true; }
  // The file whose owner, group and permissions the new file takes; by default the target.
  void takeIdentityFrom(std::string path) { identitySource_ = std::move(path); }
  // The replacement happens only while the file at path still has this identity: a file that
  // the host or another run saved since it was read is left as it is and commit() fails.
  void expectIdentity(const FileIdentity& identity) {
    expected_ = identity;
    expectsIdentity_ = true;
  }
  // Creates a new, unique file beside the target and opens it for writing ("w+b"). New files
  // that a run killed earlier left beside the target are removed first.
  bool open();
  std::FILE* stream() { return stream_; }
  // Appends to the new file; false (and commit() fails) when the write failed.
  bool write(const void* data, std::size_t size);
  // For writers that need a path: close the stream, then write the file by name.
  const std::string& newPath() const { return newPath_; }
  bool closeStream();
  // Flushes the new file to disk and moves it over the target; a replace or move that another
  // process holds up is tried again for about two seconds. On failure the target is as it was
  // and the new file is gone, except where the replace took the target's name away: then the
  // new file stays, holding the content (see takeLeftNewFile).
  bool commit();
  // Why the last commit() failed: the target was changed since it was read (it is missing, is
  // no regular file, or has another identity; one that cannot be read is not taken as changed).
  bool targetChanged() const { return targetChanged_; }

 private:
  void discard();
  // Flushes the stream (with toDisk, its file to disk too) and closes it; a failure counts as a
  // failed write.
  bool finishStream(bool toDisk);
  // Tries step until it is done or fails for good; with anyFailure, every failure is tried again.
  template <typename Step>
  FileStep retried(Step step, bool anyFailure);
  std::string givenPath_;
  std::string path_;
  std::string identitySource_;
  std::string newPath_;
  std::FILE* stream_ = nullptr;
  bool writeFailed_ = false;
  bool committed_ = false;
  bool expectsIdentity_ = false;
  bool createOnly_ = false;
  bool targetChanged_ = false;
  FileIdentity expected_;
};

// Replaces path's content with size bytes of data, safely; with expected, only while the file
// at path still has that identity. *targetChanged, when given, says whether a failure was that.
bool replaceFileContents(const std::string& path, const void* data, std::size_t size,
                         const FileIdentity* expected = nullptr, bool* targetChanged = nullptr);
// Copies a file already opened to the path to, where nothing stands yet (see createOnly),
// safely and piece by piece (never the whole file in memory); the bytes are those of the open
// file, whatever its name points at by now. The copy takes the file's owner, group and
// permissions.
bool copyOpenedFile(const OpenedFile& from, const std::string& to);

// Test seam: called by copyOpenedFile before it reads its file (done false) and after the
// copy (done true), to change names in between as a racing user would.
void setCopyHook(void (*hook)(bool done));

// The new file that a save of path in this run left in the target's place because the
// replace took the name away and the move could not give it back; empty when none. Each is
// told once: the process keeps one entry for each such save until it is told (one thread).
std::string takeLeftNewFile(const std::string& path);

// Platform parts of the replacement.
// New files are named "<target>.new-<process id>-<unique part>", so that a later run can tell
// which ones a process that is gone left behind.
inline constexpr char kNewMarker[] = ".new-";
// The file a replacement of path must replace: the final target of a symbolic link.
bool resolveReplacementTarget(const std::string& path, std::string* target);
// Creates an empty new file beside path that takes identitySource's owner, group and
// permissions when that file exists, and opens it for writing ("w+b") through the handle it
// was made with, so that nothing else can stand at its name in between. Null on failure, and
// then no new file is left.
std::FILE* createUniqueFileBeside(const std::string& path, const std::string& identitySource,
                                  std::string* newPath);
// Removes new files beside path that a process no longer running left behind.
void removeStaleNewFiles(const std::string& path);
// Flushes what was written to the open stream's file to disk (the stream's own buffer is
// flushed first by the caller).
bool flushStreamToDisk(std::FILE* stream);
bool flushFileToDisk(const std::string& path);
FileStep moveFileOver(const std::string& from, const std::string& to);
// Gives the file from the name to, which must not exist (not even as a link).
FileStep moveFileToNewName(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);
void sleepMilliseconds(unsigned milliseconds);

// The longest path this process may open, in bytes: 259 under Windows unless the system lets
// the program use long paths.
std::size_t maxPathLength();
// How much longer than its target's path a name a save makes beside it can be.
constexpr std::size_t kNewNameExtra = 24;

}  // namespace platform
