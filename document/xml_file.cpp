#include "document/xml_file.h"

#include <cstdio>
#include <cstring>

#include "document/xml_parser.h"
#include "document/xml_writer.h"
#include "platform/code_page.h"
#include "platform/safe_file.h"

namespace {

// Files larger than this are refused rather than read in part.
constexpr size_t kMaxFileSize = size_t{1} << 30;

bool readWholeFile(const char* path, std::string* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  char buffer[1 << 16];
  size_t got;
  bool ok = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (bytes->size() + got > kMaxFileSize) {
      ok = false;
      break;
    }
    bytes->append(buffer, got);
  }
  if (std::ferror(file)) ok = false;
  std::fclose(file);
  return ok;
}

}  // namespace

xmlNode* loadXmlFile(const char* path, unsigned /*codePage*/) {
  if (!path) return nullptr;
  std::string bytes;
  if (!readWholeFile(path, &bytes) || bytes.empty()) return nullptr;
  size_t first = bytes.find('<');
  if (first == std::string::npos || first > 3) return nullptr;
  // A NUL byte would end the text early and the rest would be lost on a save.
  if (bytes.find('\0') != std::string::npos) return nullptr;
  xmlNode* document = newNode(nullptr, nullptr);
  if (!document) return nullptr;
  std::memcpy(document->prefix, bytes.data(), first);
  document->prefix[first] = '\0';
  return parseDocument(bytes.c_str() + first, document);
}

int saveXmlFile(const char* path, xmlNode* document, unsigned /*codePage*/) {
  if (!path || !document) return kSaveNoFile;
  platform::ReplacementFile file(path);
  if (!file.open()) return kSaveNoFile;
  std::FILE* stream = file.stream();
  size_t prefixLength = strnlen(document->prefix, sizeof document->prefix);
  if (prefixLength && std::fwrite(document->prefix, 1, prefixLength, stream) != prefixLength)
    return kSaveNoFile;
  for (xmlNode* node = document; node; node = node->next) {
    int result = writeNode(node, stream, 0);
    if (result != 0) return result;
  }
  int result = writeComment(document->trailingComment, stream);
  if (result != 0 && result != -1) return result;
  return file.commit() ? 0 : kSaveNoFile;
}

bool ansiToDocumentText(const std::string& ansi, unsigned codePage, std::string* out) {
  if (codePage == platform::kCodePageAnsi) {
    *out = ansi;
    return true;
  }
  return platform::convertText(ansi, platform::kCodePageAnsi, codePage, out);
}
