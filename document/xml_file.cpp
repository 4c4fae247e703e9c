#include "document/xml_file.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "document/xml_parser.h"
#include "document/xml_writer.h"
#include "platform/code_page.h"
#include "platform/safe_file.h"

namespace {

// Files larger than this are refused rather than read in part.
constexpr size_t kMaxFileSize = size_t{1} << 30;

// The size the file says it has, as a hint for the buffer; 0 when it cannot tell (a folder,
// a file beyond what ftell reports).
size_t sizeHint(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  long end = std::ftell(file);
  std::rewind(file);
  return end > 0 && static_cast<unsigned long>(end) <= kMaxFileSize ? static_cast<size_t>(end) : 0;
}

// The whole file, or false: a file that cannot be opened or read to its end (a folder
// among them) or that is larger than kMaxFileSize is never taken in part.
bool readWholeFile(const char* path, std::string* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  bytes->reserve(sizeHint(file) + 1);
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

// Both code pages are parsed as the bytes stand: the tree keeps the file's own encoding, so
// neither characters outside the ANSI code page nor bytes that are not valid UTF-8 are lost.
xmlNode* loadXmlFile(const char* path, unsigned /*codePage*/) {
  if (!path) return nullptr;
  std::string bytes;
  try {
    if (!readWholeFile(path, &bytes) || bytes.empty()) return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
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
  // A chain without a named node would replace the file with an empty one.
  bool anyElement = false;
  for (xmlNode* node = document; node && !anyElement; node = node->next) anyElement = node->name;
  if (!anyElement) return kSaveNoFile;
  platform::ReplacementFile file(path);
  if (!file.open()) return kSaveNoFile;
  std::FILE* stream = file.stream();
  // Large pieces to the disk; best effort, the default buffer works as well.
  std::setvbuf(stream, nullptr, _IOFBF, size_t{1} << 16);
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
