// The state that one run of the program carries from document to document: the identifier
// counters of idPrefixTable and the customization format version that new revision stamps
// declare, and the allocation of new identifiers from them. A run makes one EditRun and hands
// it to every edit; tests make a fresh one. The functions own nothing of the documents they read.
#pragma once

#include <cstdint>
#include <string>

#include "document/xml_node.h"
#include "package/package_file.h"

struct IdPrefix {
  const char* prefix;
  std::uint32_t counter;  // the next free number for the prefix
};

constexpr int kIdPrefixCount = 17;
constexpr int kToolbarIdPrefix = 8;  // "WSTU_"

struct EditRun {
  EditRun();
  // Searched in order: the first prefix that matches an identifier counts it.
  IdPrefix idPrefixTable[kIdPrefixCount];
  unsigned formatMajorVersion = 16;
  unsigned formatMinorVersion = 2;
};

// Raises the counters of run above every identifier in the document and the nodes after it,
// those kept of a package's checked parts included; prefixes compare without regard to ASCII
// case.
void scanIdentifiers(EditRun& run, xmlNode* document);
// How a package is read for the edits: the parts they read and change become trees, and of every
// other part, which is only checked, the identifiers are kept for scanIdentifiers.
PackageReading packageReadingForEdits();
// How a package is read to decide whether the edits have anything to do: the parts they read,
// and nothing else of it. Such a package cannot be saved.
PackageReading packageReadingForDecision();
// "WSTU_" and the next number.
std::string newToolbarId(EditRun& run);
void setFormatVersion(EditRun& run, unsigned major, unsigned minor);
