#include "document/xml_parser.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/ascii_text.h"

namespace {

char* copyRange(const char* begin, const char* end) {
  size_t length = static_cast<size_t>(end - begin);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, begin, length);
  copy[length] = '\0';
  return copy;
}

// Links node behind last (null: as the first of the chain), without walking the chain, so
// that reading a long chain stays linear.
void linkLast(xmlNode** first, xmlNode** last, xmlNode* owner, xmlNode* node) {
  node->parent = owner;
  node->prev = *last;
  node->next = nullptr;
  if (*last)
    (*last)->next = node;
  else
    *first = node;
  *last = node;
}

// Byte classes, looked up once per byte in the scanning loops.
constexpr unsigned char kSpaceByte = 1;  // white space as isSpace has it
constexpr unsigned char kNameStop = 2;   // ends a name: NUL, white space, '/', '>', '='

struct ByteClasses {
  unsigned char of[256] = {};
  constexpr ByteClasses() {
    for (unsigned char space : {'\t', '\n', '\r', ' '}) of[space] = kSpaceByte | kNameStop;
    for (unsigned char stop : {'\0', '/', '>', '='}) of[stop] = kNameStop;
  }
};
constexpr ByteClasses kByteClasses;

inline bool isByte(char byte, unsigned char byteClass) {
  return (kByteClasses.of[static_cast<unsigned char>(byte)] & byteClass) != 0;
}

// Whether text (terminated) begins with the literal prefix; inline, as it runs several times
// per element.
template <std::size_t N>
bool startsWith(const char* text, const char (&prefix)[N]) {
  for (std::size_t i = 0; i + 1 < N; ++i)
    if (text[i] != prefix[i]) return false;
  return true;
}

// What a read makes of the text. A tree read makes its nodes in the arena of owner (see
// newNodeIn; null for nodes of their own). A check (the template argument kCheck) reads the text
// exactly as a tree read does but makes no node: of each element it keeps only the value of its
// first attribute named attributeName (if any), in values, each followed by a NUL byte.
struct ReadTarget {
  xmlNode* owner = nullptr;
  const char* attributeName = nullptr;
  std::string* values = nullptr;
};

// An element's name where it stands in the text; its end tag must repeat it.
struct NameInText {
  const char* begin;
  const char* end;
};

// In a check every node parameter below is null.
template <bool kCheck>
DocumentError parseChildElement(const ReadTarget& target, xmlNode** made, const char** cursor,
                                int depth);
template <bool kCheck>
DocumentError parseTag(const ReadTarget& target, xmlNode* node, const char** cursor, int depth);
template <bool kCheck>
DocumentError parseAfterName(const ReadTarget& target, xmlNode* node, NameInText name,
                             const char** cursor, int depth);

// Of an element's attributes a check keeps the value of the first one named as asked, straight
// from the text. False when that finds no memory.
bool keepCheckedAttribute(const ReadTarget& target, const char* name, const char* nameEnd,
                          const char* value, const char* valueEnd, bool* kept) {
  if (*kept || !target.attributeName || !target.values) return true;
  const char* wanted = target.attributeName;
  for (const char* p = name; p != nameEnd; ++p, ++wanted)
    if (!*wanted || platform::lowerAsciiLetter(*p) != platform::lowerAsciiLetter(*wanted))
      return true;
  if (*wanted) return true;
  *kept = true;
  try {
    target.values->append(value, valueEnd);
    target.values->push_back('\0');
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The end of the element name that starts at p, or null when the text cannot hold one. A
// name beginning "!--" is what is left of a comment that was never closed; written back it
// would open a comment, so the text is refused rather than saved as text that reads otherwise.
const char* elementNameEnd(const char* p) {
  if (startsWith(p, "!--")) return nullptr;
  while (!isByte(*p, kNameStop)) ++p;
  return *p && *p != '=' ? p : nullptr;
}

// "</name>" exactly, case-sensitive, no white space.
DocumentError readEndTag(NameInText name, const char** cursor) {
  const char* p = *cursor;
  if (!startsWith(p, "</")) return DocumentError::kMalformed;
  p += 2;
  for (const char* n = name.begin; n != name.end; ++n, ++p)
    if (*p != *n) return DocumentError::kMalformed;
  if (*p != '>') return DocumentError::kMalformed;
  *cursor = p + 1;
  return DocumentError::kNone;
}

// The content after a start tag. Text is the user's data and is taken byte for byte, blanks
// and line ends at either end included; white space alone, or between elements, is layout.
template <bool kCheck>
DocumentError parseContent(const ReadTarget& target, xmlNode* node, NameInText name,
                           const char** cursor, int depth) {
  const char* start = *cursor;
  skipSpace(cursor);
  const char* p = *cursor;
  if (*p != '<') {
    const char* end = std::strchr(p, '<');
    if (!end) return DocumentError::kMalformed;
    if constexpr (!kCheck) {
      if (!(node->value = copyRange(start, end))) return DocumentError::kOutOfMemory;
      if (depth > 0) noteHeldOutsideArena(target.owner);
    }
    *cursor = end;
    return readEndTag(name, cursor);
  }
  xmlNode* last = nullptr;
  for (;;) {
    skipSpace(cursor);
    if (startsWith(*cursor, "</")) return readEndTag(name, cursor);
    xmlNode* child = nullptr;
    const DocumentError read = parseChildElement<kCheck>(target, &child, cursor, depth + 1);
    if (read != DocumentError::kNone) {
      destroyNode(child);
      // The text ending where an element should be is malformed too.
      return read == DocumentError::kOutOfMemory ? read : DocumentError::kMalformed;
    }
    if constexpr (!kCheck) linkLast(&node->firstChild, &last, node, child);
    if (**cursor == '\0') return DocumentError::kMalformed;
  }
}

template <bool kCheck>
DocumentError parseAttributes(const ReadTarget& target, xmlNode* node, NameInText name,
                              const char** cursor, int depth) {
  skipSpace(cursor);
  xmlNode* last = nullptr;
  bool kept = false;  // while checking: whether the attribute asked for was kept
  for (;;) {
    const char* start = *cursor;
    const char* p = start;
    while (!isByte(*p, kNameStop)) ++p;
    if (*p == '/' && p[1] == '>') {
      *cursor = p + 2;
      return DocumentError::kNone;
    }
    if (*p == '>') return DocumentError::kMalformed;
    const char* nameEnd = p;
    skipSpace(&p);
    if (*p != '=') return DocumentError::kMalformed;
    ++p;
    skipSpace(&p);
    const char* close = *p == '"' ? std::strchr(p + 1, '"') : nullptr;
    if (!close) return DocumentError::kMalformed;
    if constexpr (kCheck) {
      if (!keepCheckedAttribute(target, start, nameEnd, p + 1, close, &kept))
        return DocumentError::kOutOfMemory;
    } else {
      xmlNode* attribute = newNodeIn(target.owner, start, static_cast<size_t>(nameEnd - start),
                                     p + 1, static_cast<size_t>(close - (p + 1)));
      if (!attribute) return DocumentError::kOutOfMemory;
      linkLast(&node->firstAttribute, &last, node, attribute);
    }
    p = close + 1;
    skipSpace(&p);
    *cursor = p;
    if (startsWith(p, "?>") || startsWith(p, "/>")) {
      *cursor = p + 2;
      return DocumentError::kNone;
    }
    if (*p == '>') {
      *cursor = p + 1;
      return parseContent<kCheck>(target, node, name, cursor, depth);
    }
  }
}

}  // namespace

bool isSpace(unsigned char byte) {
  return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ';
}

void skipSpace(const char** cursor) {
  while (isByte(**cursor, kSpaceByte)) ++*cursor;
}

namespace {

// The comment that starts at the cursor (after white space), copied into *comment unless
// comment is null: kNone, kNoDocument when there is none, kMalformed when it is not closed (its
// opening is stepped over), kOutOfMemory.
DocumentError readComment(const char** cursor, char** comment) {
  skipSpace(cursor);
  if (!startsWith(*cursor, "<!--")) return DocumentError::kNoDocument;
  *cursor += 4;
  const char* end = std::strstr(*cursor, "-->");
  if (!end) return DocumentError::kMalformed;
  if (comment && !(*comment = copyRange(*cursor, end))) return DocumentError::kOutOfMemory;
  *cursor = end + 3;
  return DocumentError::kNone;
}

// An element with the comment before it. A comment that is not closed is stepped over; one
// that finds no memory fails the read.
template <bool kCheck>
DocumentError parseElementIn(const ReadTarget& target, xmlNode* node, const char** cursor,
                             int depth) {
  if (depth >= kMaxNestingDepth) return DocumentError::kMalformed;
  if constexpr (kCheck) {
    readComment(cursor, nullptr);
  } else {
    char* comment = nullptr;
    const DocumentError found = readComment(cursor, &comment);
    if (found == DocumentError::kOutOfMemory ||
        (found == DocumentError::kNone && !setNodeComment(node, comment)))
      return DocumentError::kOutOfMemory;
  }
  return parseTag<kCheck>(target, node, cursor, depth);
}

// The element from its "<" on, into a node that may already hold its comment.
template <bool kCheck>
DocumentError parseTag(const ReadTarget& target, xmlNode* node, const char** cursor, int depth) {
  skipSpace(cursor);
  if (**cursor == '\0') return DocumentError::kNoDocument;
  if (**cursor != '<') return DocumentError::kMalformed;
  ++*cursor;
  // Below the top level, a name or text read here is memory of the node's own.
  if (!kCheck && depth > 0) noteHeldOutsideArena(target.owner);
  if (startsWith(*cursor, "![CDATA[")) {
    const char* start = *cursor + 8;
    const char* close = std::strchr(start, ']');
    if (!close || !startsWith(close, "]]>")) return DocumentError::kMalformed;
    if constexpr (!kCheck) {
      static const char kCdataName[] = "CDATA";
      if (!(node->name = copyRange(kCdataName, kCdataName + sizeof kCdataName - 1)) ||
          !(node->value = copyRange(start, close)))
        return DocumentError::kOutOfMemory;
      node->cdata = true;
    }
    *cursor = close + 3;
    return DocumentError::kNone;
  }
  const NameInText name{*cursor, elementNameEnd(*cursor)};
  if (!name.end) return DocumentError::kMalformed;
  if constexpr (!kCheck)
    if (!(node->name = copyRange(name.begin, name.end))) return DocumentError::kOutOfMemory;
  return parseAfterName<kCheck>(target, node, name, cursor, depth);
}

template <bool kCheck>
DocumentError parseAfterName(const ReadTarget& target, xmlNode* node, NameInText name,
                             const char** cursor, int depth) {
  if (*name.end == '>') {
    *cursor = name.end + 1;
    return parseContent<kCheck>(target, node, name, cursor, depth);
  }
  *cursor = *name.end == '/' ? name.end : name.end + 1;
  return parseAttributes<kCheck>(target, node, name, cursor, depth);
}

// An element below the top level. A tree read makes its node here once the name is known, so
// that the name shares the node's allocation; *made is the node (null when none was made).
template <bool kCheck>
DocumentError parseChildElement(const ReadTarget& target, xmlNode** made, const char** cursor,
                                int depth) {
  if (depth >= kMaxNestingDepth) return DocumentError::kMalformed;
  char* comment = nullptr;  // the comment before the element, until the node is made
  if (readComment(cursor, kCheck ? nullptr : &comment) == DocumentError::kOutOfMemory)
    return DocumentError::kOutOfMemory;
  skipSpace(cursor);
  const char* p = *cursor;
  const char* end = *p == '<' && !startsWith(p + 1, "![CDATA[") ? elementNameEnd(p + 1) : nullptr;
  // An element of text alone, "<name>text</name>", takes its text into the same allocation.
  const char* text = nullptr;
  const char* textEnd = nullptr;
  if (end && *end == '>') {
    const char* content = end + 1;
    skipSpace(&content);
    textEnd = *content != '<' ? std::strchr(content, '<') : nullptr;
    if (textEnd) text = end + 1;  // with its leading white space, as parseContent takes it
  }
  xmlNode* node = nullptr;
  if constexpr (!kCheck) {
    node = end ? newNodeIn(target.owner, p + 1, static_cast<size_t>(end - (p + 1)), text,
                           static_cast<size_t>(textEnd - text))
               : newNodeIn(target.owner, nullptr, 0, nullptr, 0);
    if (!node) {
      std::free(comment);
      return DocumentError::kOutOfMemory;
    }
    if (comment) {
      if (!setNodeComment(node, comment)) return DocumentError::kOutOfMemory;
      noteHeldOutsideArena(target.owner);
    }
    *made = node;
  }
  if (!end) return parseTag<kCheck>(target, node, cursor, depth);  // CDATA, or malformed text
  const NameInText name{p + 1, end};
  if (text) {
    *cursor = textEnd;
    return readEndTag(name, cursor);
  }
  return parseAfterName<kCheck>(target, node, name, cursor, depth);
}

// Every top-level node of the text, into first and the nodes made after it.
DocumentError readDocument(const char* text, xmlNode* first) {
  if (!text) return DocumentError::kMalformed;
  if (!first) return DocumentError::kOutOfMemory;
  const char* cursor = text;
  xmlNode* node = first;
  const ReadTarget target{first};
  for (;;) {
    const DocumentError read = parseElementIn<false>(target, node, &cursor, 0);
    if (read == DocumentError::kNoDocument) break;
    if (read != DocumentError::kNone) return read;
    xmlNode* next = newNodeIn(first, nullptr, 0, nullptr, 0);
    if (!next) return DocumentError::kOutOfMemory;
    node->next = next;
    next->prev = node;
    node = next;
  }
  // The text ended; before its first element it is no document.
  if (node == first) return DocumentError::kMalformed;
  // A comment after the last element is kept for the save.
  char* comment = takeNodeComment(node);
  node->prev->next = nullptr;
  destroyNode(node);
  return comment && !setTrailingComment(first, comment) ? DocumentError::kOutOfMemory
                                                        : DocumentError::kNone;
}

}  // namespace

xmlNode* parseDocument(const char* text, xmlNode* first, DocumentError* error) {
  const DocumentError read = readDocument(text, first);
  if (error) *error = read;
  if (read == DocumentError::kNone) return first;
  destroyNode(first);
  return nullptr;
}

DocumentError checkDocument(const char* text, const char* attributeName, std::string* values) {
  if (!text) return DocumentError::kMalformed;
  const ReadTarget target{nullptr, attributeName, values};
  const char* cursor = text;
  bool read = false;
  for (;;) {
    const DocumentError result = parseElementIn<true>(target, nullptr, &cursor, 0);
    if (result == DocumentError::kNoDocument)
      return read ? DocumentError::kNone : DocumentError::kMalformed;
    if (result != DocumentError::kNone) return result;
    read = true;
  }
}
