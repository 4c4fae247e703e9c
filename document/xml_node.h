// The node tree of a customization document.
//
// One record, xmlNode, serves for elements and attributes. A node owns its strings, its
// extra record, its attribute chain, its child chain and its next node (so destroying the
// first node of a chain destroys the whole chain); prev and parent are back links. The name
// and value a node is made with share the node's own allocation; comments and texts set later
// are allocated with malloc. Change them only through the operations below.
// A document read from text keeps its nodes in an arena: large blocks owned by the document's
// first node and freed at once when that node is destroyed (the blocks are kept for the next
// document read). The operations that make a node for a place in such a tree make it in the
// same arena. Destroying another node of such a document frees what it holds apart from the
// arena; its memory goes with the arena. So a node of an arena may be linked into another tree
// only while its own document lives.
// Text is held exactly as it stands in the file, in the file's own encoding.
// Process-wide state, for one thread: the blocks of freed arenas, kept for the next document up
// to 64 MiB in all (a block past that goes back to the heap) until the process ends; and two
// tables of the comments and trailing comments, one entry for each node that holds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Data a node may carry in its extra slot; the package layer derives the records.
// The node deletes it through the virtual destructor.
struct extraData {
  explicit extraData(std::int32_t k) : kind(k) {}
  virtual ~extraData() = default;
  std::int32_t kind;
};

constexpr std::int32_t kExtraPackageRoot = 1;  // extraDataZlib: the package's content
constexpr std::int32_t kExtraPartName = 2;     // extraDataFileName: a part's member name
constexpr std::int32_t kExtraCheckedPart = 3;  // extraDataCheckedPart: a part read as bytes

struct xmlNode {
  xmlNode()
      : cdata(false),
        edited(false),
        nameInNode(false),
        valueInNode(false),
        inArena(false),
        ownsArena(false),
        hasComment(false),
        hasTrailingComment(false) {}

  char* name = nullptr;
  char* value = nullptr;
  xmlNode* firstChild = nullptr;
  xmlNode* next = nullptr;
  xmlNode* prev = nullptr;
  xmlNode* parent = nullptr;
  xmlNode* firstAttribute = nullptr;
  extraData* extra = nullptr;
  // On the first top-level node: the bytes that stood before the first "<" of the file (a
  // byte order mark; never white space), terminated.
  char prefix[4] = {0, 0, 0, 0};
  // Bits rather than bytes: a large document has hundreds of thousands of nodes.
  // Set on a node read from a CDATA section, so that the writer gives it back its form.
  bool cdata : 1;
  // Set on a node and all its ancestors when the operations below change the node, its
  // attributes or its children. Reading a document leaves it clear.
  bool edited : 1;
  // Whether name and value lie in the node's own allocation (and are not freed on their own).
  bool nameInNode : 1;
  bool valueInNode : 1;
  // Whether the node lies in its document's arena, and whether it owns that arena.
  bool inArena : 1;
  bool ownsArena : 1;
  // Whether the node holds a comment or a trailing comment (see below).
  bool hasComment : 1;
  bool hasTrailingComment : 1;
};

// The comment that stood before the node in the file (without "<!--" and "-->"), or null. It is
// kept beside the node, as few nodes have one.
const char* nodeComment(const xmlNode* node);
// Gives node the comment (from malloc; the node frees it; null takes it away); false, with the
// comment freed, when memory runs out.
bool setNodeComment(xmlNode* node, char* comment);
// Takes the comment away from node and hands it to the caller (who frees it); null for none.
char* takeNodeComment(xmlNode* node);

// On the first top-level node: the comment that followed the last top-level element of the
// file, kept so that a save gives it back; null when there is none. Kept beside the node too.
const char* trailingComment(const xmlNode* node);
// Gives node the comment (from malloc; the node frees it; null takes it away); false, with the
// comment freed, when memory runs out.
bool setTrailingComment(xmlNode* node, char* comment);

// Null when memory runs out.
xmlNode* newNode(const char* name, const char* value);
// The same with texts given as byte ranges (a null text is none); they need no terminator.
xmlNode* newNodeWithTexts(const char* name, std::size_t nameLength, const char* value,
                          std::size_t valueLength);
// The first node of a document to be read from about textLength bytes, owning a new arena
// that newNodeIn fills; null when memory runs out.
xmlNode* newDocumentNode(std::size_t textLength);
// As newNodeWithTexts, made in the arena of owner (a node from newDocumentNode), or on its own
// when owner is null or owns none.
xmlNode* newNodeIn(xmlNode* owner, const char* name, std::size_t nameLength, const char* value,
                   std::size_t valueLength);
// The node that owns the arena node lies in: the first node of its document, found through its
// ancestors and the top-level nodes before them. Null for a node made on its own and for one
// detached from its document's tree. The operations below that make a node for a place in a
// tree make it in this arena.
xmlNode* arenaOwnerOf(xmlNode* node);
void destroyNode(xmlNode* node);
// Destroying an arena document walks only its top-level nodes while nothing below them holds
// memory of its own (a text or comment of its own, an extra, a node from outside the arena).
// The operations below keep track of that; a reader that gives such a node memory of its own
// tells the arena of owner here.
void noteHeldOutsideArena(xmlNode* owner);
// The one owner of a loaded document, or of any node and all it owns, until released: every
// caller holds what it loads or makes in one, and none calls destroyNode itself.
struct xmlNodeDeleter {
  void operator()(xmlNode* node) const { destroyNode(node); }
};
using xmlNodeHolder = std::unique_ptr<xmlNode, xmlNodeDeleter>;
bool appendChild(xmlNode* parent, xmlNode* child);
bool appendAttribute(xmlNode* element, xmlNode* attribute);
bool insertAfter(xmlNode* reference, xmlNode* node);
// Look-ups by name (and text) ignore the case of ASCII letters; a null name or text finds nothing.
xmlNode* findSibling(xmlNode* node, const char* name);
xmlNode* findChild(xmlNode* parent, const char* name, bool create);
xmlNode* findOrAddSibling(xmlNode* node, const char* name, bool create);
xmlNode* findChildWithText(xmlNode* parent, const char* name, const char* text, bool create);
bool setName(xmlNode* node, const char* name);
bool setValue(xmlNode* node, const char* value);
xmlNode* setAttribute(xmlNode* element, const char* name, const char* value);
void detach(xmlNode* node, bool destroy);

// The top node of the tree that holds node (following parent links), and whether that
// top node is a package root (extra of kind 1).
xmlNode* topNode(xmlNode* node);
bool isPackageDocument(xmlNode* node);
