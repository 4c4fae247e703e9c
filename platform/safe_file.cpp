#include "platform/safe_file.h"

#include <utility>
#include <vector>

namespace platform {

namespace {

void (*copyHook)(bool done) = nullptr;

class SystemFileOperations : public FileOperations {
 public:
  std::FILE* createNew(const std::string& path, const std::string& identitySource,
                       std::string* newPath) override {
    return createUniqueFileBeside(path, identitySource, newPath);
  }
  bool write(std::FILE* stream, const void* data, std::size_t size) override {
    return std::fwrite(data, 1, size, stream) == size;
  }
  bool flush(std::FILE* stream, bool toDisk) override {
    return std::fflush(stream) == 0 && !std::ferror(stream) &&
           (!toDisk || flushStreamToDisk(stream));
  }
  bool flushFile(const std::string& path) override { return flushFileToDisk(path); }
  FileReadResult identity(const std::string& path, FileIdentity* identity) override {
    return readFileIdentity(path, identity);
  }
  FileStep replace(const std::string& from, const std::string& to) override {
    return moveFileOver(from, to);
  }
  FileStep move(const std::string& from, const std::string& to) override {
    return moveFileToNewName(from, to);
  }
  bool remove(const std::string& path) override { return removeFile(path); }
  void pause(unsigned milliseconds) override { sleepMilliseconds(milliseconds); }
};

SystemFileOperations systemOperations;
FileOperations* currentOperations = &systemOperations;

// New files left in their target's place this run: target, new file.
std::vector<std::pair<std::string, std::string>> leftNewFiles;

}  // namespace

FileOperations& systemFileOperations() {
  return systemOperations;
}

FileOperations& fileOperations() {
  return *currentOperations;
}

ScopedFileOperations::ScopedFileOperations(FileOperations& operations)
    : previous_(currentOperations) {
  currentOperations = &operations;
}

ScopedFileOperations::~ScopedFileOperations() {
  currentOperations = previous_;
}

std::string takeLeftNewFile(const std::string& path) {
  for (auto it = leftNewFiles.begin(); it != leftNewFiles.end(); ++it) {
    if (it->first != path) continue;
    std::string left = std::move(it->second);
    leftNewFiles.erase(it);
    return left;
  }
  return std::string();
}

ReplacementFile::ReplacementFile(std::string path) : givenPath_(path), path_(std::move(path)) {}

ReplacementFile::~ReplacementFile() {
  if (!committed_) discard();
}

bool ReplacementFile::open() {
  if (!newPath_.empty()) return false;
  std::string target = path_;
  if (!createOnly_ && !resolveReplacementTarget(path_, &target)) return false;
  if (identitySource_.empty() || identitySource_ == path_) identitySource_ = target;
  path_ = std::move(target);
  removeStaleNewFiles(path_);
  if (!(stream_ = fileOperations().createNew(path_, identitySource_, &newPath_))) {
    newPath_.clear();
    return false;
  }
  return true;
}

bool ReplacementFile::write(const void* data, std::size_t size) {
  if (!stream_ || writeFailed_) return false;
  if (size && !fileOperations().write(stream_, data, size)) writeFailed_ = true;
  return !writeFailed_;
}

bool ReplacementFile::closeStream() {
  if (!stream_) return !writeFailed_;
  return finishStream(false);
}

bool ReplacementFile::finishStream(bool toDisk) {
  bool ok = fileOperations().flush(stream_, toDisk);
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (!ok) writeFailed_ = true;
  return ok;
}

template <typename Step>
FileStep ReplacementFile::retried(Step step, bool anyFailure) {
  return retryStep(step, [anyFailure](FileStep result) {
    return result == FileStep::kDone || result == FileStep::kTargetGone ||
           !(anyFailure || transientStep(result));
  });
}

bool ReplacementFile::commit() {
  targetChanged_ = false;
  if (newPath_.empty() || committed_) return false;
  FileOperations& operations = fileOperations();
  // A stream still open goes to disk through the handle the file was made with.
  const bool flushed =
      !writeFailed_ && (stream_ ? finishStream(true) : operations.flushFile(newPath_));
  if (!flushed) {
    writeFailed_ = true;
    discard();
    return false;
  }
  // As late as can be, and again before each new try: a save by the host between the load and
  // now must not be overwritten. An identity that cannot be read fails the step as well.
  FileStep step = retried(
      [&] {
        if (expectsIdentity_) {
          FileIdentity current;
          const FileReadResult read = operations.identity(path_, &current);
          targetChanged_ = read == FileReadResult::kMissing ||
                           read == FileReadResult::kNotRegular ||
                           (read == FileReadResult::kRead && current != expected_);
          if (read != FileReadResult::kRead || targetChanged_) return FileStep::kFailed;
        }
        return createOnly_ ? operations.move(newPath_, path_) : operations.replace(newPath_, path_);
      },
      false);
  if (targetChanged_) {
    discard();
    return false;
  }
  if (step == FileStep::kTargetGone) {
    // The target's name is gone: from here on the new file holds the content, and only a move
    // to that name may take it away.
    step = retried([&] { return operations.move(newPath_, path_); }, true);
    if (step != FileStep::kDone) {
      committed_ = true;  // not discarded
      leftNewFiles.emplace_back(givenPath_, newPath_);
      return false;
    }
  }
  if (step != FileStep::kDone) {
    discard();
    return false;
  }
  committed_ = true;
  return true;
}

void ReplacementFile::discard() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!newPath_.empty()) fileOperations().remove(newPath_);
  newPath_.clear();
}

bool replaceFileContents(const std::string& path, const void* data, std::size_t size,
                         const FileIdentity* expected, bool* targetChanged) {
  ReplacementFile file(path);
  if (expected) file.expectIdentity(*expected);
  const bool replaced = file.open() && file.write(data, size) && file.commit();
  if (targetChanged) *targetChanged = file.targetChanged();
  return replaced;
}

bool copyOpenedFile(const OpenedFile& from, const std::string& to) {
  ReplacementFile file(to);
  file.createOnly();
  file.takeIdentityFrom(from.path());
  if (!file.open()) return false;
  if (copyHook) copyHook(false);
  auto consume = [&file](const char* data, std::size_t size) { return file.write(data, size); };
  const bool copied =
      from.readInPieces(kNoSizeLimit, consume) == FileReadResult::kRead && file.commit();
  if (copyHook) copyHook(true);
  return copied;
}

void setCopyHook(void (*hook)(bool done)) {
  copyHook = hook;
}

}  // namespace platform
