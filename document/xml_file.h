// Loading and saving a plain customization file (XML), from a file or from bytes in memory.
//
// The tree holds the file's text byte for byte in the file's own encoding, so nothing is lost
// in a load and save, whatever characters the file holds. Before the first "<" a file may hold
// up to three bytes that are not white space (a byte order mark), kept in the first node's
// prefix and written back, and then any white space, which is layout: load and save, and load
// and save again, give the same bytes.
// The caller owns a loaded or parsed document and holds it in an xmlNodeHolder; the functions
// keep nothing they are given.
#pragma once

#include <cstddef>
#include <string>

#include "document/document_error.h"
#include "document/xml_node.h"
#include "platform/file_read.h"

// The document, or null when the file cannot be read whole, is too large (1 GiB), holds a NUL byte,
// holds more than the prefix and white space before its first "<", or is not well formed, or
// memory runs out; why goes to *error, when given (kNone with a document). The bytes are kept
// as they are, in whatever encoding the file has.
xmlNode* loadXmlFile(const char* path, DocumentError* error = nullptr);
// The reason a document gets from a read of its file.
DocumentError fileReadFailure(platform::FileReadResult read);
// Writes the whole document to a new file beside path and replaces the file only when that
// succeeded: kNone, kNoDocument when there is no document (no named top-level node),
// kWriteFailed when the file cannot be written, kChanged when the file no longer has the
// identity expected (when given), or the writer's error. On failure the file at path is
// unchanged.
DocumentError saveXmlFile(const char* path, xmlNode* document,
                          const platform::FileIdentity* expected = nullptr);

// What loadXmlFile makes of a file holding these bytes (they need no terminator).
xmlNode* parseXmlText(const char* bytes, std::size_t length, DocumentError* error = nullptr);
// The same, read where they are, for bytes followed by a NUL byte (bytes[length] is 0).
xmlNode* parseTerminatedXmlText(const char* bytes, std::size_t length,
                                DocumentError* error = nullptr);
// What parseTerminatedXmlText would find in the bytes (kNone: it would read them), found
// without building the tree; of each element, the value of its first attribute named
// attributeName (ASCII case ignored; null for none) is appended to values, followed by a NUL
// byte, in document order.
DocumentError checkTerminatedXmlText(const char* bytes, std::size_t length,
                                     const char* attributeName, std::string* values);
// Whether the chain from document holds a named node, that is a document to write.
bool hasNamedNode(const xmlNode* document);
// The bytes saveXmlFile would write, in *out: kNone, kNoDocument when there is no document, or
// the writer's error. On failure *out is empty.
DocumentError writeXmlText(xmlNode* document, std::string* out);

// Text from an ANSI source, in the form a document of codePage holds it.
bool ansiToDocumentText(const std::string& ansi, unsigned codePage, std::string* out);
