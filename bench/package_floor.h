// The floor of the silent add on one package: the least work that gives the same result and
// checks the same things. The file is read once, every member inflated and every part parsed
// with pugixml; the two parts the add changes are edited, written (in the host's layout, as the
// program writes them, or in pugixml's own for reference) and deflated at level 9;
// every other member keeps its compressed bytes and stored CRC; the new archive is written,
// flushed and renamed over the file, and the one-time backup is written from the bytes read.
// Nothing is kept; no ownership passes.
#pragma once

#include <string>

#include "bench/zlib_floor.h"

enum class FloorLayout { kHost, kPugixml };

// Updates the package at path in place and writes backupPath.
FloorRun runPackageFloor(const std::string& path, const std::string& backupPath,
                         FloorLayout layout = FloorLayout::kHost);
