// Parses arbitrary text as a customization document; an accepted text must be written as text
// that parses back to the same tree and is written again with the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/xml_node.h"
#include "document/xml_parser.h"
#include "document/xml_writer.h"
#include "tests/support/tree_equal.h"

namespace {

std::string written(xmlNode* document) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  if (!stream) std::abort();
  for (xmlNode* node = document; node; node = node->next)
    if (writeNode(node, stream, 0) != 0) std::abort();
  if (writeComment(document->trailingComment, stream) > 0) std::abort();
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The load refuses text with a NUL byte; the parser runs on what it accepts.
  std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  xmlNode* first = parseDocument(text.c_str(), newNode(nullptr, nullptr));
  if (!first) return 0;
  std::string once = written(first);
  xmlNode* again = parseDocument(once.c_str(), newNode(nullptr, nullptr));
  std::string difference;
  if (!again || !test_support::documentsEqual(first, again, &difference, true)) {
    std::fprintf(stderr, "written text reads back differently: %s\n", difference.c_str());
    std::abort();
  }
  if (written(again) != once) std::abort();
  destroyNode(first);
  destroyNode(again);
  return 0;
}
