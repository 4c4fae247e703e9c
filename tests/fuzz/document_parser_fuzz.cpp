// Reads arbitrary bytes as a customization file; an accepted file must be written as bytes that
// read back as the same tree and are written again unchanged (load and save is a fixed point).
// A check without a tree must accept exactly what the read accepts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/xml_file.h"
#include "document/xml_node.h"
#include "tests/support/tree_equal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  DocumentError read;
  xmlNodeHolder first(parseTerminatedXmlText(text.c_str(), text.size(), &read));
  std::string kept;
  if (checkTerminatedXmlText(text.c_str(), text.size(), "UID", &kept) != read ||
      (read == DocumentError::kNone) != (first != nullptr)) {
    std::fprintf(stderr, "the check and the read disagree\n");
    std::abort();
  }
  if (!first) return 0;
  std::string once;
  if (writeXmlText(first.get(), &once) != DocumentError::kNone) std::abort();
  xmlNodeHolder again(parseXmlText(once.data(), once.size()));
  std::string difference;
  if (!again || !test_support::documentsEqual(first.get(), again.get(), &difference, true)) {
    std::fprintf(stderr, "written text reads back differently: %s\n", difference.c_str());
    std::abort();
  }
  std::string twice;
  if (writeXmlText(again.get(), &twice) != DocumentError::kNone || twice != once) std::abort();
  return 0;
}
