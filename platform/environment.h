// Expansion of %NAME% environment references.
#pragma once

#include <cstdint>

namespace platform {

// As ExpandEnvironmentStringsA: writes the expansion of source into destination (size
// characters) and returns the number of characters the whole expansion needs, terminator
// included. A result larger than size means the destination does not hold the expansion.
// Returns 0 on failure. Unknown names stay as written; "%%" is not special.
std::uint32_t expandEnvironmentStrings(const char* source, char* destination, std::uint32_t size);

}  // namespace platform
