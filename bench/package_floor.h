// The floor of the silent add on one package: the least work that gives the same result and
// checks the same things. The file is read once, every member inflated and every part parsed
// with pugixml; the two parts the add changes are edited, written and deflated at level 9;
// every other member keeps its compressed bytes and stored CRC; the new archive is written,
// flushed and renamed over the file, and the one-time backup is written from the bytes read.
// Nothing is kept; no ownership passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PackageFloor {
  bool ok = false;
  double seconds = 0;
  std::size_t members = 0;
  std::uint64_t uncompressedBytes = 0;
};

// Updates the package at path in place and writes backupPath.
PackageFloor runPackageFloor(const std::string& path, const std::string& backupPath);
