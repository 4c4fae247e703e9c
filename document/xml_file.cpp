#include "document/xml_file.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "document/xml_byte_runs.h"
#include "document/xml_parser.h"
#include "document/xml_writer.h"
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
  if (holdsNulByte(bytes, length)) return false;
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

xmlNode* parseBytes(const char* bytes, size_t length, DocumentError* error) {
  size_t prefix = 0, first = 0;
  xmlNode* document = nullptr;
  if (!locateDocument(bytes, length, &prefix, &first)) {
    *error = DocumentError::kMalformed;
  } else if (!(document = newDocumentNode(length - first))) {
    *error = DocumentError::kOutOfMemory;
  } else {
    std::memcpy(document->prefix, bytes, prefix);
    document->prefix[prefix] = '\0';
    document = parseDocument(bytes + first, document, error);
  }
  return document;
}

class ReplacementSink : public xmlSink {
 public:
  explicit ReplacementSink(platform::ReplacementFile& file) : file_(file) {}
  DocumentError put(const char* data, size_t length) override {
    return file_.write(data, length) ? DocumentError::kNone : DocumentError::kWriteFailed;
  }

 private:
  platform::ReplacementFile& file_;
};

}  // namespace

DocumentError fileReadFailure(platform::FileReadResult read) {
  switch (read) {
    case platform::FileReadResult::kRead:
      return DocumentError::kNone;
    case platform::FileReadResult::kMissing:
      return DocumentError::kFileMissing;
    case platform::FileReadResult::kNotRegular:
      return DocumentError::kNotRegularFile;
    case platform::FileReadResult::kTooLarge:
      return DocumentError::kTooLarge;
    case platform::FileReadResult::kNoMemory:
      return DocumentError::kOutOfMemory;
    case platform::FileReadResult::kFailed:
      break;
  }
  return DocumentError::kReadFailed;
}

xmlNode* loadXmlFile(const char* path, DocumentError* error) {
  DocumentError ignored;
  if (!error) error = &ignored;
  *error = DocumentError::kReadFailed;
  if (!path) return nullptr;
  try {
    // Regular files only: a FIFO, a device or a folder fails at once instead of blocking or
    // reading without end.
    std::string bytes;
    const platform::FileReadResult read = platform::readRegularFile(path, kMaxFileSize, &bytes);
    if (read != platform::FileReadResult::kRead) {
      *error = fileReadFailure(read);
      return nullptr;
    }
    return parseBytes(bytes.c_str(), bytes.size(), error);
  } catch (const std::bad_alloc&) {
    *error = DocumentError::kOutOfMemory;
    return nullptr;
  }
}

xmlNode* parseXmlText(const char* bytes, std::size_t length, DocumentError* error) {
  DocumentError ignored;
  if (!error) error = &ignored;
  *error = !bytes ? DocumentError::kMalformed : DocumentError::kTooLarge;
  if (!bytes || length > kMaxFileSize) return nullptr;
  try {
    std::string terminated(bytes, length);
    return parseBytes(terminated.c_str(), length, error);
  } catch (const std::bad_alloc&) {
    *error = DocumentError::kOutOfMemory;
    return nullptr;
  }
}

xmlNode* parseTerminatedXmlText(const char* bytes, std::size_t length, DocumentError* error) {
  DocumentError ignored;
  if (!error) error = &ignored;
  *error = bytes && length > kMaxFileSize ? DocumentError::kTooLarge : DocumentError::kMalformed;
  if (!bytes || length > kMaxFileSize || bytes[length] != '\0') return nullptr;
  return parseBytes(bytes, length, error);
}

DocumentError checkTerminatedXmlText(const char* bytes, std::size_t length,
                                     const char* attributeName, std::string* values) {
  if (bytes && length > kMaxFileSize) return DocumentError::kTooLarge;
  size_t prefix = 0, first = 0;
  if (!bytes || bytes[length] != '\0' || !locateDocument(bytes, length, &prefix, &first))
    return DocumentError::kMalformed;
  return checkDocument(bytes + first, attributeName, values);
}

bool hasNamedNode(const xmlNode* document) {
  for (const xmlNode* node = document; node; node = node->next)
    if (node->name) return true;
  return false;
}

DocumentError saveXmlFile(const char* path, xmlNode* document,
                          const platform::FileIdentity* expected) {
  // A chain without a named node would replace the file with an empty one.
  if (!hasNamedNode(document)) return DocumentError::kNoDocument;
  if (!path) return DocumentError::kWriteFailed;
  try {
    // Until the commit the file at path is untouched; the new file goes with the object.
    platform::ReplacementFile file(path);
    if (expected) file.expectIdentity(*expected);
    if (!file.open()) return DocumentError::kWriteFailed;
    ReplacementSink sink(file);
    const DocumentError written = writeDocument(document, sink);
    if (written != DocumentError::kNone) return written;
    if (file.commit()) return DocumentError::kNone;
    return file.targetChanged() ? DocumentError::kChanged : DocumentError::kWriteFailed;
  } catch (const std::bad_alloc&) {
    return DocumentError::kOutOfMemory;
  }
}

DocumentError writeXmlText(xmlNode* document, std::string* out) {
  if (!out) return DocumentError::kNoDocument;
  out->clear();
  if (!hasNamedNode(document)) return DocumentError::kNoDocument;
  xmlAppendingSink<std::string> sink(*out);
  const DocumentError written = writeDocument(document, sink);
  if (written != DocumentError::kNone) out->clear();
  return written;
}

bool ansiToDocumentText(const std::string& ansi, unsigned codePage, std::string* out) {
  if (codePage == platform::kCodePageAnsi) {
    *out = ansi;
    return true;
  }
  return platform::convertText(ansi, platform::kCodePageAnsi, codePage, out);
}
