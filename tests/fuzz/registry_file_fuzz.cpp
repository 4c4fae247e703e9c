// Parses arbitrary text as a registry file; accepted text must serialise to text that parses
// back to the same registry.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto registry = platform::RegistryFile::fromText(text);
  if (!registry->valid()) return 0;
  std::string first = registry->toText();
  auto again = platform::RegistryFile::fromText(first);
  if (!again->valid() || again->toText() != first) std::abort();
  return 0;
}
