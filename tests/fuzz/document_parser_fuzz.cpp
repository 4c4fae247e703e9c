// Reads arbitrary bytes as a customization file; an accepted file must be written as bytes that
// read back as the same tree and are written again unchanged (load and save is a fixed point).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/xml_file.h"
#include "document/xml_node.h"
#include "tests/support/tree_equal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  xmlNode* first = parseXmlText(reinterpret_cast<const char*>(data), size);
  if (!first) return 0;
  std::string once;
  if (writeXmlText(first, &once) != 0) std::abort();
  xmlNode* again = parseXmlText(once.data(), once.size());
  std::string difference;
  if (!again || !test_support::documentsEqual(first, again, &difference, true)) {
    std::fprintf(stderr, "written text reads back differently: %s\n", difference.c_str());
    std::abort();
  }
  std::string twice;
  if (writeXmlText(again, &twice) != 0 || twice != once) std::abort();
  destroyNode(first);
  destroyNode(again);
  return 0;
}
