// Reads the text of a customization file into the node tree.
//
// The parser accepts the subset of XML that customization files use and copies every name,
// value and comment out of the text unchanged (no decoding of references, line ends or
// white space). parseDocument destroys everything it read when it fails, so a caller never
// sees a partial document.
#pragma once

#include <string>

#include "document/document_error.h"
#include "document/xml_node.h"

// Levels of nesting accepted (a top-level element is level 1). Real customization files
// nest about ten deep; deeper text is refused as malformed, so that hostile input cannot
// exhaust the stack of the recursive reader (and of the recursive writer afterwards).
constexpr int kMaxNestingDepth = 256;

bool isSpace(unsigned char byte);
void skipSpace(const char** cursor);
// Reads the whole text into first (a fresh node) and the nodes after it. Returns first, or
// null (first is then destroyed) when the text holds no element or is malformed (kMalformed) or
// memory runs out (kOutOfMemory, also for a null first); the reason goes to *error, when given.
xmlNode* parseDocument(const char* text, xmlNode* first, DocumentError* error = nullptr);
// What parseDocument would find in the text (kNone: it would read it), found without building
// its tree. Of each element read, the value of its first attribute named attributeName (ASCII
// case ignored; null for none) is appended to values, followed by a NUL byte, in document order.
DocumentError checkDocument(const char* text, const char* attributeName, std::string* values);
