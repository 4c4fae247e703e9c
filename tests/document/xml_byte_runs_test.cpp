#include "document/xml_byte_runs.h"

#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Runs of every length up to past the widest step, at every alignment, against the C library.
TEST(ByteRuns, CopyAndNulScanAgreeWithTheCLibrary) {
  std::mt19937 rng(5);
  std::vector<char> from(400), to(400);
  for (int round = 0; round < 20000; ++round) {
    const std::size_t length = rng() % 200, at = rng() % 64, into = rng() % 64;
    for (char& c : from) c = static_cast<char>(1 + rng() % 255);
    if (rng() % 2) from[at + rng() % (length + 1)] = '\0';  // maybe just past the run
    std::vector<char> expected = to;
    std::memcpy(expected.data() + into, from.data() + at, length);
    copyBytes(to.data() + into, from.data() + at, length);
    ASSERT_EQ(to, expected) << length << " bytes from " << at << " to " << into;
    ASSERT_EQ(holdsNulByte(from.data() + at, length),
              std::memchr(from.data() + at, '\0', length) != nullptr)
        << length << " bytes from " << at;
  }
}

}  // namespace
