// Reading a .cuix package into one document and writing it back.
//
// loadCuixPackage returns a nameless package root that owns the whole package content (an
// extraDataZlib in its extra slot); its children are one part node per known member, in the
// order of packagePartNames, each holding that member's parsed document. The caller holds the
// tree in an xmlNodeHolder. saveCuixPackage writes every part anew, keeps every other member as
// it was loaded, and replaces the file only when the whole archive was written.
#pragma once

#include "document/xml_node.h"
#include "platform/file_read.h"

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

xmlNode* loadCuixPackage(const char* path, unsigned codePage,
                         const PackageReading& reading = PackageReading{});
// 0 when written; -1 when the tree is no package, a checked part was changed, or the archive
// could not be written; otherwise the failing part's save result. On failure the file at path
// is unchanged.
// With expected, the file is replaced only while it still has that identity.
int saveCuixPackage(const char* path, xmlNode* root, unsigned codePage,
                    const platform::FileIdentity* expected = nullptr);
