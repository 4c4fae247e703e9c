// The state that one run of the program carries from document to document: the identifier
// counters of idPrefixTable and the customization format version that new revision stamps
// declare. A run makes one EditRun and hands it to every edit; tests make a fresh one.
#pragma once

#include <cstdint>

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
