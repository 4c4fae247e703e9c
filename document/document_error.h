// Why a document could not be loaded, parsed, checked, written or saved. Every function of
// document/ that can fail says so with one of these; kNone when it did not fail.
#pragma once

enum class DocumentError {
  kNone,
  kFileMissing,     // no such file, or a folder on its way is missing
  kNotRegularFile,  // a folder, a FIFO, a device
  kReadFailed,      // the file cannot be opened or read
  kTooLarge,        // more bytes than a document may have
  kOutOfMemory,
  kMalformed,    // the bytes hold no document the parser reads
  kNoDocument,   // nothing to write: no named top-level node (the parser: no element here)
  kChanged,      // a save: the file is no longer the one loaded, and was left as it is
  kWriteFailed,  // a save: the new file could not be made, written or put in the file's place
};
