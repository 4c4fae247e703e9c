// Loads arbitrary bytes as a package; an accepted package must also save without harm. A load
// that only checks most parts must accept exactly the same packages.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/xml_node.h"
#include "package/customization_file.h"
#include "platform/safe_file.h"

namespace {

std::string packagePath() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/package_reader_fuzz_" +
         std::to_string(getpid()) + ".cuix";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = packagePath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) return 0;
  static const char* const kTreeParts[] = {"Header.cui", nullptr};
  PackageFailure checkedFailure, failure;
  xmlNodeHolder checked{
      loadDocument(path.c_str(), PackageReading{kTreeParts, "UID"}, &checkedFailure)};
  if (xmlNodeHolder root{loadDocument(path.c_str(), PackageReading{}, &failure)}) {
    if (!isPackageDocument(root.get()) || !checked) std::abort();
    saveDocument(path.c_str(), root.get());
  } else if (checked || !failure.failed() || checkedFailure.error != failure.error ||
             checkedFailure.document != failure.document) {
    std::abort();  // refused alike, for the same reason
  }
  platform::removeFile(path);
  return 0;
}
