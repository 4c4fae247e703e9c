// Copying and scanning runs of bytes in the hot paths of reading a document, without a call
// into the C library: for the short texts of a node the call costs more than the copy, and
// some C libraries (Windows' msvcrt among them) scan a long run one byte at a time.
// Header-only; nothing to free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace byte_runs_detail {

// Sixteen bytes moved as one.
struct Bytes16 {
  std::uint64_t low, high;
};

// Copies a run of Word to 2 * Word bytes as its first and its last Word, which may overlap in the
// middle; both are read before either is written.
template <typename Word>
inline void copyFirstAndLast(char* to, const char* from, std::size_t length) {
  Word first, last;
  std::memcpy(&first, from, sizeof(Word));
  std::memcpy(&last, from + length - sizeof(Word), sizeof(Word));
  std::memcpy(to, &first, sizeof(Word));
  std::memcpy(to + length - sizeof(Word), &last, sizeof(Word));
}

}  // namespace byte_runs_detail

// Copies length bytes; the two runs must not overlap. Runs up to 32 bytes are moved as two
// fixed-size words, which compile to plain loads and stores.
inline void copyBytes(char* to, const char* from, std::size_t length) {
  using namespace byte_runs_detail;
  if (length > 32) {
    std::memcpy(to, from, length);
  } else if (length >= 16) {
    copyFirstAndLast<Bytes16>(to, from, length);
  } else if (length >= 8) {
    copyFirstAndLast<std::uint64_t>(to, from, length);
  } else if (length >= 4) {
    copyFirstAndLast<std::uint32_t>(to, from, length);
  } else if (length > 0) {
    // One to three bytes: the first, the middle and the last (some of them the same).
    const char first = from[0], middle = from[length / 2], last = from[length - 1];
    to[0] = first;
    to[length / 2] = middle;
    to[length - 1] = last;
  }
}

// Whether any of the length bytes is a NUL byte.
inline bool holdsNulByte(const char* bytes, std::size_t length) {
  std::size_t at = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; length - at >= 64; at += 64) {
    const __m128i* p = reinterpret_cast<const __m128i*>(bytes + at);
    __m128i found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p), zero),
                                              _mm_cmpeq_epi8(_mm_loadu_si128(p + 1), zero)),
                                 _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p + 2), zero),
                                              _mm_cmpeq_epi8(_mm_loadu_si128(p + 3), zero)));
    if (_mm_movemask_epi8(found) != 0) return true;
  }
#endif
  // Eight bytes at a time: a word holds a zero byte exactly when this test is not zero.
  const std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
  for (; length - at >= 8; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + at, 8);
    if ((word - ones) & ~word & highs) return true;
  }
  for (; at < length; ++at)
    if (bytes[at] == '\0') return true;
  return false;
}
