#include "document/xml_file.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "document/xml_parser.h"
#include "document/xml_writer.h"
#include "document/xml_byte_runs.h"
#include "platform/code_page.h"
#include "platform/file_read.h"
#include "platform/safe_file.h"

namespace {

// Files larger than this are refused rather than read in part.
constexpr size_t kMaxFileSize = size_t{1} << 30;

// Where the document in length bytes followed by a NUL byte begins. Before the first "<" stand
// the prefix, at most three bytes that are not white space (a byte order mark), and then any
// white space, which is layout: the writer gives each top-level node its own line end, so
// keeping it would add a line end at every save. False for bytes no document can be read from.
bool locateDocument(const char* bytes, size_t length, size_t* prefix, size_t* first) {
  // A NUL byte would end the text early and the rest would be lost on a save.
  if (platform::holdsNulByte(bytes, length)) return false;
  const size_t kLongest = sizeof xmlNode::prefix - 1;
  *prefix = 0;
  while (*prefix <= kLongest && *prefix < length && bytes[*prefix] != '<' &&
         !isSpace(static_cast<unsigned char>(bytes[*prefix])))
    ++*prefix;
  if (*prefix > kLongest) return false;
  *first = *prefix;
  while (*first < length && isSpace(static_cast<unsigned char>(bytes[*first]))) ++*first;
  return *first < length && bytes[*first] == '<';
}

xmlNode* parseBytes(const char* bytes, size_t length) {
  size_t prefix = 0, first = 0;
  if (!locateDocument(bytes, length, &prefix, &first)) return nullptr;
  xmlNode* document = newDocumentNode(length - first);
  if (!document) return nullptr;
  std::memcpy(document->prefix, bytes, prefix);
  document->prefix[prefix] = '\0';
  return parseDocument(bytes + first, document);
}

class ReplacementSink : public xmlSink {
 public:
  explicit ReplacementSink(platform::ReplacementFile& file) : file_(file) {}
  int put(const char* data, size_t length) override {
    return file_.write(data, length) ? 0 : kSaveNoFile;
  }

 private:
  platform::ReplacementFile& file_;
};

}  // namespace

// Both code pages are parsed as the bytes stand: the tree keeps the file's own encoding, so
// neither characters outside the ANSI code page nor bytes that are not valid UTF-8 are lost.
xmlNode* loadXmlFile(const char* path, unsigned /*codePage*/) {
  if (!path) return nullptr;
  try {
    // Regular files only: a FIFO, a device or a folder fails at once instead of blocking or
    // reading without end.
    std::string bytes;
    if (platform::readRegularFile(path, kMaxFileSize, &bytes) != platform::FileReadResult::kRead)
      return nullptr;
    return parseBytes(bytes.c_str(), bytes.size());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

xmlNode* parseXmlText(const char* bytes, std::size_t length) {
  if (!bytes || length > kMaxFileSize) return nullptr;
  try {
    std::string terminated(bytes, length);
    return parseBytes(terminated.c_str(), length);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

xmlNode* parseTerminatedXmlText(const char* bytes, std::size_t length) {
  if (!bytes || length > kMaxFileSize || bytes[length] != '\0') return nullptr;
  return parseBytes(bytes, length);
}

bool checkTerminatedXmlText(const char* bytes, std::size_t length, const char* attributeName,
                            std::string* values) {
  if (!bytes || length > kMaxFileSize || bytes[length] != '\0') return false;
  size_t prefix = 0, first = 0;
  return locateDocument(bytes, length, &prefix, &first) &&
         checkDocument(bytes + first, attributeName, values);
}

bool hasNamedNode(const xmlNode* document) {
  for (const xmlNode* node = document; node; node = node->next)
    if (node->name) return true;
  return false;
}

int saveXmlFile(const char* path, xmlNode* document, unsigned /*codePage*/,
                const platform::FileIdentity* expected) {
  // A chain without a named node would replace the file with an empty one.
  if (!path || !hasNamedNode(document)) return kSaveNoFile;
  try {
    // Until the commit the file at path is untouched; the new file goes with the object.
    platform::ReplacementFile file(path);
    if (expected) file.expectIdentity(*expected);
    if (!file.open()) return kSaveNoFile;
    ReplacementSink sink(file);
    int result = writeDocument(document, sink);
    if (result != 0) return result;
    return file.commit() ? 0 : kSaveNoFile;
  } catch (const std::bad_alloc&) {
    return kWriteNoMemory;
  }
}

int writeXmlText(xmlNode* document, std::string* out) {
  if (!out) return kSaveNoFile;
  out->clear();
  if (!hasNamedNode(document)) return kSaveNoFile;
  xmlAppendingSink<std::string> sink(*out);
  int result = writeDocument(document, sink);
  if (result != 0) out->clear();
  return result;
}

bool ansiToDocumentText(const std::string& ansi, unsigned codePage, std::string* out) {
  if (codePage == platform::kCodePageAnsi) {
    *out = ansi;
    return true;
  }
  return platform::convertText(ansi, platform::kCodePageAnsi, codePage, out);
}
