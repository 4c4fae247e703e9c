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

// What a read makes of the text. owner: the node whose arena takes the nodes read (see
// newNodeIn); null for nodes of their own. A check builds no tree: each element is given up
// once read, with its children already gone, and only the value of its first attribute named
// attributeName (if any) is kept in values, each followed by a NUL byte.
struct ReadTarget {
  xmlNode* owner = nullptr;
  bool checkOnly = false;
  const char* attributeName = nullptr;
  std::string* values = nullptr;
};

int parseChildElement(const ReadTarget& target, xmlNode** made, const char** cursor, int depth);
int parseTag(const ReadTarget& target, xmlNode* node, const char** cursor, int depth);
int parseAfterName(const ReadTarget& target, xmlNode* node, const char* nameEnd,
                   const char** cursor, int depth);
int parseElementIn(const ReadTarget& target, xmlNode* node, const char** cursor, int depth);

// Gives up an element a check has read (a check links no children and makes no attributes),
// with what was made in the arena since mark.
void giveUpChecked(const ReadTarget& target, xmlNode* element, xmlArenaMark mark) {
  // Most elements hold nothing but their name in the arena: rewinding is all they need.
  if (holdsOwnMemory(element)) destroyNode(element);
  rewindArena(target.owner, mark);
}

// A check makes no attribute nodes: of an element's attributes it keeps the value of the first
// one named as asked, straight from the text. False when that finds no memory.
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
int readEndTag(const xmlNode* node, const char** cursor) {
  const char* p = *cursor;
  if (!startsWith(p, "</")) return -2;
  p += 2;
  for (const char* name = node->name; *name; ++name, ++p)
    if (*p != *name) return -2;
  if (*p != '>') return -2;
  *cursor = p + 1;
  return 0;
}

// The content after a start tag. Text is the user's data and is taken byte for byte, blanks
// and line ends at either end included; white space alone, or between elements, is layout.
int parseContent(const ReadTarget& target, xmlNode* node, const char** cursor, int depth) {
  const char* start = *cursor;
  skipSpace(cursor);
  const char* p = *cursor;
  if (*p != '<') {
    const char* end = std::strchr(p, '<');
    if (!end) return -2;
    // A check keeps no text.
    if (!target.checkOnly) {
      if (!(node->value = copyRange(start, end))) return -2;
      if (depth > 0) noteHeldOutsideArena(target.owner);
    }
    *cursor = end;
    return readEndTag(node, cursor);
  }
  xmlNode* last = nullptr;
  for (;;) {
    skipSpace(cursor);
    if (startsWith(*cursor, "</")) return readEndTag(node, cursor);
    xmlNode* child = nullptr;
    const xmlArenaMark mark = markArena(target.owner);
    if (parseChildElement(target, &child, cursor, depth + 1) != 0) {
      destroyNode(child);
      return -2;
    }
    if (!target.checkOnly)
      linkLast(&node->firstChild, &last, node, child);
    else
      giveUpChecked(target, child, mark);
    if (**cursor == '\0') return -2;
  }
}

int parseAttributes(const ReadTarget& target, xmlNode* node, const char** cursor, int depth) {
  skipSpace(cursor);
  xmlNode* last = nullptr;
  bool kept = false;  // while checking: whether the attribute asked for was kept
  for (;;) {
    const char* start = *cursor;
    const char* p = start;
    while (!isByte(*p, kNameStop)) ++p;
    if (*p == '/' && p[1] == '>') {
      *cursor = p + 2;
      return 0;
    }
    if (*p == '>') return -2;
    const char* nameEnd = p;
    skipSpace(&p);
    if (*p != '=') return -2;
    ++p;
    skipSpace(&p);
    const char* close = *p == '"' ? std::strchr(p + 1, '"') : nullptr;
    if (!close) return -2;
    if (target.checkOnly) {
      if (!keepCheckedAttribute(target, start, nameEnd, p + 1, close, &kept)) return -2;
    } else {
      xmlNode* attribute = newNodeIn(target.owner, start, static_cast<size_t>(nameEnd - start),
                                     p + 1, static_cast<size_t>(close - (p + 1)));
      if (!attribute) return -2;
      linkLast(&node->firstAttribute, &last, node, attribute);
    }
    p = close + 1;
    skipSpace(&p);
    *cursor = p;
    if (startsWith(p, "?>") || startsWith(p, "/>")) {
      *cursor = p + 2;
      return 0;
    }
    if (*p == '>') {
      *cursor = p + 1;
      return parseContent(target, node, cursor, depth);
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

constexpr int kNoMemory = -3;

// The comment that starts at the cursor (after white space) into *comment: 0, -1 when there is
// none, -2 when it is not closed (its opening is stepped over), kNoMemory.
int readComment(const char** cursor, char** comment) {
  skipSpace(cursor);
  if (!startsWith(*cursor, "<!--")) return -1;
  *cursor += 4;
  const char* end = std::strstr(*cursor, "-->");
  if (!end) return -2;
  if (!(*comment = copyRange(*cursor, end))) return kNoMemory;
  *cursor = end + 3;
  return 0;
}

// The same, given to node.
int readCommentInto(xmlNode* node, const char** cursor) {
  char* comment = nullptr;
  int result = readComment(cursor, &comment);
  if (result != 0) return result;
  return setNodeComment(node, comment) ? 0 : kNoMemory;
}

int parseElementIn(const ReadTarget& target, xmlNode* node, const char** cursor, int depth) {
  if (depth >= kMaxNestingDepth) return -2;
  // A comment that is not closed is stepped over; one that finds no memory fails the read.
  if (readCommentInto(node, cursor) == kNoMemory) return -2;
  return parseTag(target, node, cursor, depth);
}

// The element from its "<" on, into a node that may already hold its comment.
int parseTag(const ReadTarget& target, xmlNode* node, const char** cursor, int depth) {
  skipSpace(cursor);
  if (**cursor == '\0') return -1;
  if (**cursor != '<') return -2;
  ++*cursor;
  // Below the top level, a name or text read here is memory of the node's own.
  if (depth > 0) noteHeldOutsideArena(target.owner);
  if (startsWith(*cursor, "![CDATA[")) {
    const char* start = *cursor + 8;
    const char* close = std::strchr(start, ']');
    if (!close || !startsWith(close, "]]>")) return -2;
    static const char kCdataName[] = "CDATA";
    if (!(node->name = copyRange(kCdataName, kCdataName + sizeof kCdataName - 1)) ||
        !(node->value = copyRange(start, close)))
      return -2;
    node->cdata = true;
    *cursor = close + 3;
    return 0;
  }
  const char* end = elementNameEnd(*cursor);
  if (!end || !(node->name = copyRange(*cursor, end))) return -2;
  return parseAfterName(target, node, end, cursor, depth);
}

int parseAfterName(const ReadTarget& target, xmlNode* node, const char* nameEnd,
                   const char** cursor, int depth) {
  if (*nameEnd == '>') {
    *cursor = nameEnd + 1;
    return parseContent(target, node, cursor, depth);
  }
  *cursor = *nameEnd == '/' ? nameEnd : nameEnd + 1;
  return parseAttributes(target, node, cursor, depth);
}

// As parseElement, but the node is made here once its name is known, so that the name shares
// the node's allocation. *made is the node (null when none could be made).
int parseChildElement(const ReadTarget& target, xmlNode** made, const char** cursor, int depth) {
  if (depth >= kMaxNestingDepth) return -2;
  char* comment = nullptr;  // the comment before the element, until the node is made
  if (readComment(cursor, &comment) == kNoMemory) return -2;
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
  // A check needs the name for the end tag, not the text.
  const char* keptText = target.checkOnly ? nullptr : text;
  xmlNode* node = end ? newNodeIn(target.owner, p + 1, static_cast<size_t>(end - (p + 1)), keptText,
                                  static_cast<size_t>(textEnd - text))
                      : newNodeIn(target.owner, nullptr, 0, nullptr, 0);
  if (!node) {
    std::free(comment);
    return -2;
  }
  if (comment) {
    if (!setNodeComment(node, comment)) return -2;
    noteHeldOutsideArena(target.owner);
  }
  *made = node;
  if (!end) return parseTag(target, node, cursor, depth);  // a CDATA section, or malformed text
  if (text) {
    *cursor = textEnd;
    return readEndTag(node, cursor);
  }
  return parseAfterName(target, node, end, cursor, depth);
}

}  // namespace

xmlNode* parseDocument(const char* text, xmlNode* first) {
  if (!text || !first) {
    destroyNode(first);
    return nullptr;
  }
  const char* cursor = text;
  xmlNode* node = first;
  const ReadTarget target{first};
  for (;;) {
    int result = parseElementIn(target, node, &cursor, 0);
    if (result == 0) {
      xmlNode* next = newNodeIn(first, nullptr, 0, nullptr, 0);
      if (!next) break;
      node->next = next;
      next->prev = node;
      node = next;
      continue;
    }
    if (result == -1 && node != first) {
      // A comment after the last element is kept for the save.
      char* comment = takeNodeComment(node);
      node->prev->next = nullptr;
      destroyNode(node);
      if (comment && !setTrailingComment(first, comment)) break;
      return first;
    }
    break;
  }
  destroyNode(first);
  return nullptr;
}

bool checkDocument(const char* text, const char* attributeName, std::string* values) {
  if (!text) return false;
  // The arena holds no more than the elements open at a time and their attributes.
  xmlNodeHolder owner(newDocumentNode(0));
  if (!owner) return false;
  const ReadTarget target{owner.get(), true, attributeName, values};
  const char* cursor = text;
  bool read = false;
  for (;;) {
    const xmlArenaMark mark = markArena(owner.get());
    xmlNode* node = newNodeIn(owner.get(), nullptr, 0, nullptr, 0);
    if (!node) return false;
    const int result = parseElementIn(target, node, &cursor, 0);
    if (result != 0) {
      destroyNode(node);
      return result == -1 && read;
    }
    giveUpChecked(target, node, mark);
    read = true;
  }
}
