// Reading a .cuix package into one document and writing it back.
//
// loadCuixPackage returns a nameless package root that owns the whole package content (an
// extraDataZlib in its extra slot); its children are one part node per known member, in the
// order of packagePartNames, each holding that member's parsed document. The caller holds the
// tree in an xmlNodeHolder. saveCuixPackage writes every part anew, keeps every other member as
// it was loaded, and replaces the file only when the whole archive was written.
#pragma once

#include "document/document_error.h"
#include "document/xml_node.h"
#include "platform/file_read.h"

// Why a package could not be loaded or saved; kNone when it was.
enum class PackageError {
  kNone,
  kFileMissing,      // no such file, or a folder on its way is missing
  kNotRegularFile,   // a folder, a FIFO, a device
  kReadFailed,       // the file cannot be opened or read
  kArchiveTooLarge,  // the file, or its members' content together, is too large to read
  kMemberTooLarge,   // a member (read or to be written) is too large
  kOutOfMemory,
  kDamagedArchive,  // the archive's headers, sizes or compressed data cannot be read as they are
  kBadCrc,          // a member's data does not match its CRC-32
  kAmbiguousPart,   // two members are both the same part (ASCII case ignored)
  kUnsupportedCompression,  // a member compressed otherwise than stored or deflated, or encrypted
  kNotAPackage,             // a readable archive without what a package holds: it has no member
  kDocument,                // a part's document failed; the DocumentError beside it says why
  kNotSavable,   // a save: no package tree, a checked part changed, or members left unread
  kChanged,      // a save: the file is no longer the one loaded, and was left as it is
  kWriteFailed,  // a save: the new file could not be made, written or put in place
};

// The reason of a failed load or save, with the document's own reason for kDocument (a part's,
// or a plain file's when loadDocument or saveDocument read or wrote one).
struct PackageFailure {
  PackageError error = PackageError::kNone;
  DocumentError document = DocumentError::kNone;
  bool failed() const { return error != PackageError::kNone; }
  // A document's reason as a package's: kDocument with it, or no failure for kNone.
  static PackageFailure ofDocument(DocumentError document) {
    return {document == DocumentError::kNone ? PackageError::kNone : PackageError::kDocument,
            document};
  }
};

// What a load builds. By default every part becomes a tree. With treeParts (a list closed by
// null) only the parts named there do: every other part is checked exactly as a tree would be
// read, so a malformed one still fails the load, but its part node stays without children and
// carries an extraDataCheckedPart, and its member is kept as read. Of each element of a
// checked part, the value of its first attribute named collectedAttribute (if not null) is kept.
// A checked part cannot be edited: a save refuses a package whose checked part changed.
// With treePartsOnly, the other members are neither read nor checked and have no part node: the
// package is loaded to be looked at, and a save refuses it.
struct PackageReading {
  const char* const* treeParts = nullptr;
  const char* collectedAttribute = nullptr;
  bool treePartsOnly = false;
};

// Null when the package cannot be read, or one of its parts that the reading reads is malformed;
// why goes to *failure, when given.
xmlNode* loadCuixPackage(const char* path, const PackageReading& reading = PackageReading{},
                         PackageFailure* failure = nullptr);
// On failure the file at path is unchanged. With expected, the file is replaced only while it
// still has that identity (kChanged otherwise).
PackageFailure saveCuixPackage(const char* path, xmlNode* root,
                               const platform::FileIdentity* expected = nullptr);
