#include "document/xml_node.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <unordered_map>

#include "document/xml_byte_runs.h"
#include "platform/ascii_text.h"

namespace {

// An arena: blocks taken from malloc, each used from the front. The arena's record stands at
// the start of its first block, directly before the node that owns it.
struct ArenaBlock {
  ArenaBlock* next;  // the block made before this one
  std::size_t size;
};

struct Arena {
  ArenaBlock* blocks;  // the newest first
  char* cursor;
  char* end;
  std::size_t nextSize;
  Arena* nextToFree;  // while destroyNode collects the arenas of a tree
  // Whether a node below the top level holds memory of its own (see noteHeldOutsideArena).
  bool holdsOutside;
};

constexpr std::size_t kAlign = alignof(xmlNode);
constexpr std::size_t kBlockHeader = (sizeof(ArenaBlock) + kAlign - 1) / kAlign * kAlign;
constexpr std::size_t kArenaHeader = (sizeof(Arena) + kAlign - 1) / kAlign * kAlign;
constexpr std::size_t kSmallestBlock = std::size_t{1} << 16;
constexpr std::size_t kLargestBlock = std::size_t{2} << 20;
// Blocks of freed arenas kept for the next document, up to this many bytes in all.
constexpr std::size_t kSpareLimit = std::size_t{64} << 20;

// A run reads one document per profile. A heap that gives large blocks back to the system
// (the Windows heap does, block by block) would have every page of the next document's
// blocks faulted in again, so the blocks of a freed arena wait here for the next one.
ArenaBlock* spareBlocks = nullptr;
std::size_t spareBytes = 0;

// A block of at least size bytes: the smallest spare one that fits, or a new one.
ArenaBlock* takeBlock(std::size_t size) {
  ArenaBlock** best = nullptr;
  for (ArenaBlock** at = &spareBlocks; *at; at = &(*at)->next)
    if ((*at)->size >= size && (!best || (*at)->size < (*best)->size)) best = at;
  if (best) {
    ArenaBlock* block = *best;
    *best = block->next;
    spareBytes -= block->size;
    return block;
  }
  ArenaBlock* block = static_cast<ArenaBlock*>(std::malloc(size));
  if (block) block->size = size;
  return block;
}

void giveBackBlock(ArenaBlock* block) {
  if (spareBytes + block->size > kSpareLimit) {
    std::free(block);
    return;
  }
  block->next = spareBlocks;
  spareBlocks = block;
  spareBytes += block->size;
}

Arena* arenaOf(xmlNode* owner) {
  return reinterpret_cast<Arena*>(reinterpret_cast<char*>(owner) - kArenaHeader);
}

void* allocateIn(Arena* arena, std::size_t size) {
  size = (size + kAlign - 1) / kAlign * kAlign;
  if (static_cast<std::size_t>(arena->end - arena->cursor) < size) {
    std::size_t blockSize = arena->nextSize;
    if (blockSize - kBlockHeader < size) blockSize = size + kBlockHeader;
    ArenaBlock* block = takeBlock(blockSize);
    if (!block) return nullptr;
    block->next = arena->blocks;
    arena->blocks = block;
    arena->cursor = reinterpret_cast<char*>(block) + kBlockHeader;
    arena->end = reinterpret_cast<char*>(block) + block->size;
    if (arena->nextSize < kLargestBlock) arena->nextSize *= 2;
  }
  void* memory = arena->cursor;
  arena->cursor += size;
  return memory;
}

void freeArena(Arena* arena) {
  for (ArenaBlock* block = arena->blocks; block;) {
    ArenaBlock* next = block->next;
    giveBackBlock(block);
    block = next;
  }
}

// The node in memory of size bytes, with its texts copied behind it.
xmlNode* placeNode(void* memory, const char* name, std::size_t nameLength, const char* value,
                   std::size_t valueLength) {
  xmlNode* node = new (memory) xmlNode;
  char* text = reinterpret_cast<char*>(node + 1);
  if (name) {
    copyBytes(text, name, nameLength);
    text[nameLength] = '\0';
    node->name = text;
    node->nameInNode = true;
    text += nameLength + 1;
  }
  if (value) {
    copyBytes(text, value, valueLength);
    text[valueLength] = '\0';
    node->value = text;
    node->valueInNode = true;
  }
  return node;
}

// The size of a node with its texts; 0 when it cannot be held.
std::size_t nodeSize(const char* name, std::size_t nameLength, const char* value,
                     std::size_t valueLength) {
  const std::size_t limit = static_cast<std::size_t>(-1) - sizeof(xmlNode) - 2 * kAlign;
  if ((name && nameLength > limit) || (value && valueLength > limit - (name ? nameLength : 0)))
    return 0;
  return sizeof(xmlNode) + (name ? nameLength + 1 : 0) + (value ? valueLength + 1 : 0);
}

}  // namespace

xmlNode* newNodeWithTexts(const char* name, std::size_t nameLength, const char* value,
                          std::size_t valueLength) {
  return newNodeIn(nullptr, name, nameLength, value, valueLength);
}

xmlNode* newNodeIn(xmlNode* owner, const char* name, std::size_t nameLength, const char* value,
                   std::size_t valueLength) {
  std::size_t size = nodeSize(name, nameLength, value, valueLength);
  if (size == 0) return nullptr;
  if (owner && owner->ownsArena) {
    void* memory = allocateIn(arenaOf(owner), size);
    if (!memory) return nullptr;
    xmlNode* node = placeNode(memory, name, nameLength, value, valueLength);
    node->inArena = true;
    return node;
  }
  void* memory = std::malloc(size);
  return memory ? placeNode(memory, name, nameLength, value, valueLength) : nullptr;
}

xmlNode* newDocumentNode(std::size_t textLength) {
  // Room for the tree of a typical text at once: pages of a block that are never used are
  // never touched either, so they cost address space only.
  std::size_t first = kSmallestBlock;
  while (first < kLargestBlock && first / 4 < textLength) first *= 2;
  ArenaBlock* block = takeBlock(first);
  if (!block) return nullptr;
  block->next = nullptr;
  char* start = reinterpret_cast<char*>(block) + kBlockHeader;
  Arena* arena = new (start) Arena{block,
                                   start + kArenaHeader,
                                   reinterpret_cast<char*>(block) + block->size,
                                   first < kLargestBlock ? first * 2 : first,
                                   nullptr,
                                   false};
  xmlNode* node = placeNode(allocateIn(arena, sizeof(xmlNode)), nullptr, 0, nullptr, 0);
  node->inArena = true;
  node->ownsArena = true;
  return node;
}

xmlNode* arenaOwnerOf(xmlNode* node) {
  if (!node || !node->inArena) return nullptr;
  while (node->parent && node->parent->inArena) node = node->parent;
  while (node->prev) node = node->prev;
  return node->ownsArena ? node : nullptr;
}

namespace {

// A node for a place below or beside relative, in relative's arena when it has one.
xmlNode* newNodeNear(xmlNode* relative, const char* name, const char* value) {
  return newNodeIn(arenaOwnerOf(relative), name, name ? std::strlen(name) : 0, value,
                   value ? std::strlen(value) : 0);
}

}  // namespace

void noteHeldOutsideArena(xmlNode* owner) {
  if (owner && owner->ownsArena) arenaOf(owner)->holdsOutside = true;
}

namespace {

// Whether destroying node would free anything besides its own memory and that of its chains:
// a name or value of its own, a comment, a trailing comment or an extra.
bool holdsOwnMemory(const xmlNode* node) {
  return node->extra || node->hasComment || node->hasTrailingComment ||
         (node->name && !node->nameInNode) || (node->value && !node->valueInNode);
}

// Whether node, its attributes or its children hold memory of their own, or lie outside an
// arena. Deep subtrees count as holding some rather than being searched without end.
bool holdsOutsideArena(const xmlNode* node, int depth = 0) {
  if (depth > 64 || !node->inArena || node->ownsArena || holdsOwnMemory(node)) return true;
  for (const xmlNode* attribute = node->firstAttribute; attribute; attribute = attribute->next)
    if (holdsOutsideArena(attribute, depth + 1)) return true;
  for (const xmlNode* child = node->firstChild; child; child = child->next)
    if (holdsOutsideArena(child, depth + 1)) return true;
  return false;
}

// Called once node was linked into a chain. An arena owner linked anywhere may come to lead
// nodes of other trees; any other node that holds memory of its own tells the arena of its
// parent, and that of an owner before it in the chain (whose top-level nodes it joined). The
// search for that owner stops at a node outside any arena: such a node told the owner before
// it when it was linked.
void noteLinked(xmlNode* node) {
  if (node->ownsArena) arenaOf(node)->holdsOutside = true;
  if (!holdsOutsideArena(node)) return;
  if (node->parent && node->parent->inArena) noteHeldOutsideArena(arenaOwnerOf(node->parent));
  for (xmlNode* before = node->prev; before && before->inArena; before = before->prev)
    if (before->ownsArena) noteHeldOutsideArena(before);
}

// Called once node came to hold memory of its own. Below the top level of an arena document
// that is what the arena must know; a top-level node's own memory is freed with the document
// anyway, and a detached node tells when it is linked again.
void noteOwnMemory(xmlNode* node) {
  if (node->parent && node->parent->inArena) noteHeldOutsideArena(arenaOwnerOf(node->parent));
}

}  // namespace

xmlNode* newNode(const char* name, const char* value) {
  return newNodeWithTexts(name, name ? std::strlen(name) : 0, value,
                          value ? std::strlen(value) : 0);
}

namespace {

// Texts kept beside the nodes that have one (from malloc, freed with the node): comments and
// trailing comments.
using SideTexts = std::unordered_map<const xmlNode*, char*>;
SideTexts comments;
SideTexts trailingComments;

// Gives node the text (null takes it away) in table; *holds says whether the node has one there,
// before and after. False, with the text freed, when memory runs out.
bool setSideText(SideTexts& table, const xmlNode* node, char* text, bool* holds) {
  if (!node) {
    std::free(text);
    return false;
  }
  if (*holds) {
    auto entry = table.find(node);
    std::free(entry->second);
    if (text) {
      entry->second = text;
    } else {
      table.erase(entry);
      *holds = false;
    }
    return true;
  }
  if (!text) return true;
  try {
    table.emplace(node, text);
  } catch (const std::bad_alloc&) {
    std::free(text);
    return false;
  }
  *holds = true;
  return true;
}

void dropSideText(SideTexts& table, const xmlNode* node) {
  auto entry = table.find(node);
  std::free(entry->second);
  table.erase(entry);
}

// Frees what node holds apart from its own memory. Most nodes hold nothing of their own: no call
// is made for them.
void releaseHoldings(xmlNode* node) {
  if (node->extra) delete node->extra;
  if (node->name && !node->nameInNode) std::free(node->name);
  if (node->value && !node->valueInNode) std::free(node->value);
  if (node->hasComment) dropSideText(comments, node);
  if (node->hasTrailingComment) dropSideText(trailingComments, node);
  node->hasComment = node->hasTrailingComment = false;
  node->extra = nullptr;
  node->name = node->value = nullptr;
}

}  // namespace

const char* nodeComment(const xmlNode* node) {
  return node && node->hasComment ? comments.find(node)->second : nullptr;
}

const char* trailingComment(const xmlNode* node) {
  return node && node->hasTrailingComment ? trailingComments.find(node)->second : nullptr;
}

bool setNodeComment(xmlNode* node, char* comment) {
  bool holds = node && node->hasComment;
  if (!setSideText(comments, node, comment, &holds)) return false;
  node->hasComment = holds;
  if (holds) noteOwnMemory(node);
  return true;
}

char* takeNodeComment(xmlNode* node) {
  if (!node || !node->hasComment) return nullptr;
  auto entry = comments.find(node);
  char* comment = entry->second;
  comments.erase(entry);
  node->hasComment = false;
  return comment;
}

bool setTrailingComment(xmlNode* node, char* comment) {
  bool holds = node && node->hasTrailingComment;
  if (!setSideText(trailingComments, node, comment, &holds)) return false;
  node->hasTrailingComment = holds;
  return true;
}

// Iterative and without allocation, so that it works when memory has run out and neither long
// chains nor deep trees grow the stack: the nodes still to be freed form a stack linked through
// their own parent pointers, which nothing needs once the tree goes. Arenas are freed last,
// once no node in them is looked at any more.
void destroyNode(xmlNode* node) {
  if (!node) return;
  node->parent = nullptr;
  xmlNode* pending = node;
  Arena* arenas = nullptr;
  while (pending) {
    xmlNode* current = pending;
    pending = current->parent;
    // An arena whose nodes below the top level hold nothing of their own: its top-level nodes
    // are freed of what they hold, and the rest goes with the arena.
    if (current->ownsArena && !arenaOf(current)->holdsOutside) {
      for (xmlNode* top = current->next; top; top = top->next) releaseHoldings(top);
    } else {
      for (xmlNode* owned : {current->next, current->firstAttribute, current->firstChild}) {
        if (!owned) continue;
        owned->parent = pending;
        pending = owned;
      }
    }
    releaseHoldings(current);
    if (current->ownsArena) {
      Arena* arena = arenaOf(current);
      arena->nextToFree = arenas;
      arenas = arena;
    }
    const bool inArena = current->inArena;
    current->~xmlNode();
    if (!inArena) std::free(current);
  }
  while (arenas) {
    Arena* next = arenas->nextToFree;
    freeArena(arenas);
    arenas = next;
  }
}

namespace {

// An edited node's ancestors are edited too, so the walk stops at the first one already marked.
void markEdited(xmlNode* node) {
  for (; node && !node->edited; node = node->parent) node->edited = true;
}

bool appendToChain(xmlNode** first, xmlNode* owner, xmlNode* node) {
  if (!owner || !node) return false;
  markEdited(owner);
  node->next = nullptr;
  node->parent = owner;
  if (!*first) {
    node->prev = nullptr;
    *first = node;
    noteLinked(node);
    return true;
  }
  xmlNode* last = *first;
  while (last->next) last = last->next;
  last->next = node;
  node->prev = last;
  noteLinked(node);
  return true;
}

}  // namespace

bool appendChild(xmlNode* parent, xmlNode* child) {
  return parent && appendToChain(&parent->firstChild, parent, child);
}

bool appendAttribute(xmlNode* element, xmlNode* attribute) {
  return element && appendToChain(&element->firstAttribute, element, attribute);
}

bool insertAfter(xmlNode* reference, xmlNode* node) {
  if (!reference || !node) return false;
  markEdited(reference);
  node->prev = reference;
  node->next = reference->next;
  node->parent = reference->parent;
  if (reference->next) reference->next->prev = node;
  reference->next = node;
  noteLinked(node);
  return true;
}

xmlNode* findSibling(xmlNode* node, const char* name) {
  if (!node || !name) return nullptr;
  const std::string_view wanted = name;
  while (node->prev) node = node->prev;
  for (; node; node = node->next)
    if (node->name && platform::equalsIgnoringAsciiCase(node->name, wanted)) return node;
  return nullptr;
}

xmlNode* findChild(xmlNode* parent, const char* name, bool create) {
  xmlNode* found = parent ? findSibling(parent->firstChild, name) : nullptr;
  if (found || !create || !parent) return found;
  xmlNode* child = newNodeNear(parent, name, nullptr);
  if (child) appendChild(parent, child);
  return child;
}

xmlNode* findOrAddSibling(xmlNode* node, const char* name, bool create) {
  xmlNode* found = findSibling(node, name);
  if (found || !create || !node) return found;
  xmlNode* sibling = newNodeNear(node, name, nullptr);
  if (sibling) insertAfter(node, sibling);
  return sibling;
}

xmlNode* findChildWithText(xmlNode* parent, const char* name, const char* text, bool create) {
  if (!parent) return nullptr;
  for (xmlNode* child = name && text ? parent->firstChild : nullptr; child; child = child->next)
    if (child->value && child->name && platform::equalsIgnoringAsciiCase(child->name, name) &&
        platform::equalsIgnoringAsciiCase(child->value, text))
      return child;
  if (!create) return nullptr;
  xmlNode* child = newNodeNear(parent, name, text);
  if (child) appendChild(parent, child);
  return child;
}

bool setName(xmlNode* node, const char* name) {
  if (!node || !name) return false;
  char* copy = strdup(name);
  if (!copy) return false;
  if (!node->nameInNode) std::free(node->name);
  node->name = copy;
  node->nameInNode = false;
  noteOwnMemory(node);
  markEdited(node);
  return true;
}

bool setValue(xmlNode* node, const char* value) {
  if (!node) return false;
  char* copy = nullptr;
  if (value && !(copy = strdup(value))) return false;
  if (!node->valueInNode) std::free(node->value);
  node->value = copy;
  node->valueInNode = false;
  if (copy) noteOwnMemory(node);
  markEdited(node);
  return true;
}

xmlNode* setAttribute(xmlNode* element, const char* name, const char* value) {
  if (!element) return nullptr;
  if (xmlNode* existing = findSibling(element->firstAttribute, name))
    return setValue(existing, value) ? existing : nullptr;
  // Name and value in the node's own allocation: a merge makes tens of thousands of these.
  xmlNode* attribute = name ? newNodeNear(element, name, value) : nullptr;
  if (!attribute) return nullptr;
  attribute->edited = true;
  appendAttribute(element, attribute);
  return attribute;
}

void detach(xmlNode* node, bool destroy) {
  if (!node) return;
  markEdited(node->parent);
  if (!node->prev && node->parent && node->parent->firstChild == node)
    node->parent->firstChild = node->next;
  if (!node->prev && node->parent && node->parent->firstAttribute == node)
    node->parent->firstAttribute = node->next;
  if (node->next) node->next->prev = node->prev;
  if (node->prev) node->prev->next = node->next;
  node->prev = node->next = node->parent = nullptr;
  if (destroy) destroyNode(node);
}

xmlNode* topNode(xmlNode* node) {
  while (node && node->parent) node = node->parent;
  return node;
}

bool isPackageDocument(xmlNode* node) {
  xmlNode* top = topNode(node);
  return top && top->extra && top->extra->kind == kExtraPackageRoot;
}
