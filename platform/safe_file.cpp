#include "platform/safe_file.h"

#include <utility>

namespace platform {

namespace {

int failingStep = 0;
int stepsTaken = 0;
void (*copyHook)(bool done) = nullptr;

// Counts one step of a save; false when the test seam makes this one fail.
bool stepSucceeds() {
  ++stepsTaken;
  return failingStep == 0 || stepsTaken != failingStep;
}

}  // namespace

void failSaveStep(int n) {
  failingStep = n;
  stepsTaken = 0;
}

int saveStepsTaken() {
  return stepsTaken;
}

ReplacementFile::ReplacementFile(std::string path) : path_(std::move(path)) {}

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
  if (!stepSucceeds() || !(stream_ = createUniqueFileBeside(path_, identitySource_, &newPath_))) {
    newPath_.clear();
    return false;
  }
  return true;
}

bool ReplacementFile::write(const void* data, std::size_t size) {
  if (!stream_ || writeFailed_) return false;
  if (size && (!stepSucceeds() || std::fwrite(data, 1, size, stream_) != size)) writeFailed_ = true;
  return !writeFailed_;
}

bool ReplacementFile::closeStream() {
  if (!stream_) return !writeFailed_;
  return finishStream(false);
}

bool ReplacementFile::finishStream(bool toDisk) {
  bool ok = stepSucceeds() && std::fflush(stream_) == 0 && !std::ferror(stream_) &&
            (!toDisk || (stepSucceeds() && flushStreamToDisk(stream_)));
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (!ok) writeFailed_ = true;
  return ok;
}

bool ReplacementFile::commit() {
  targetChanged_ = false;
  if (newPath_.empty() || committed_) return false;
  // A stream still open goes to disk through the handle the file was made with.
  const bool flushed =
      !writeFailed_ && (stream_ ? finishStream(true) : stepSucceeds() && flushFileToDisk(newPath_));
  if (!flushed) {
    writeFailed_ = true;
    discard();
    return false;
  }
  // As late as can be: a save by the host between the load and now must not be overwritten.
  FileIdentity current;
  if (expectsIdentity_ &&
      (readFileIdentity(path_, &current) != FileReadResult::kRead || current != expected_)) {
    targetChanged_ = true;
    discard();
    return false;
  }
  if (!stepSucceeds() ||
      !(createOnly_ ? moveFileToNewName(newPath_, path_) : moveFileOver(newPath_, path_))) {
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

bool copyFileSafely(const std::string& from, const std::string& to) {
  ReplacementFile file(to);
  file.takeIdentityFrom(from);
  if (!file.open()) return false;
  auto consume = [&file](const char* data, std::size_t size) { return file.write(data, size); };
  return readRegularFileInPieces(from, kNoSizeLimit, consume) == FileReadResult::kRead &&
         file.commit();
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
