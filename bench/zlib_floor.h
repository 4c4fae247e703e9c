// The floor that zlib sets for loading and saving a package: every member of the archive
// inflated and deflated again at level 9 (raw deflate, window bits -15, memory level 8),
// with zlib directly and the file read whole first. Nothing is kept; no ownership passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What one run of a floor measured; ok is false when the run failed.
struct FloorRun {
  bool ok = false;
  double seconds = 0;
  std::size_t members = 0;
  std::uint64_t uncompressedBytes = 0;
};

FloorRun measureZlibFloor(const std::string& packagePath);

// Inflates a raw-deflate member into out, which holds exactly its uncompressed size; false
// unless the stream ends there.
bool inflateRawMember(const unsigned char* in, std::size_t size, std::vector<unsigned char>* out);
