// The records a package document carries in its nodes' extra slots. The node owns and
// deletes them.
#pragma once

#include <string>

#include "document/xml_node.h"
#include "package/zip_entry.h"

// On the package root: the whole content of the package.
struct extraDataZlib : extraData {
  extraDataZlib() : extraData(kExtraPackageRoot) {}
  zipEntryList list;
};

// On the first node of each part's document: the member the part came from.
struct extraDataFileName : extraData {
  explicit extraDataFileName(const char* name) : extraData(kExtraPartName), entryName(name) {}
  const char* entryName;  // a row of packagePartNames; not owned
};

// On a part node that a load only checked (see PackageReading): it has no document, and its
// member is written back as it was read.
struct extraDataCheckedPart : extraData {
  explicit extraDataCheckedPart(const char* name) : extraData(kExtraCheckedPart), entryName(name) {}
  const char* entryName;  // a row of packagePartNames; not owned
  // Of each element, the value of its first attribute named as the reading asked, each followed
  // by a NUL byte, in document order.
  std::string collectedValues;
};

// The members parsed into the document, in the order they appear there, closed by null.
extern const char* const packagePartNames[];
