#include "edits/menu_merge.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "edits/element_search.h"
#include "platform/ascii_text.h"

std::string writtenForm(const char* text) {
  if (!text) return std::string();
  // Most texts hold no reserved character and go in as they are.
  if (!std::strpbrk(text, "&<>\"")) return std::string(text);
  std::string out;
  for (const char* p = text; *p; ++p) {
    switch (*p) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += *p;
    }
  }
  return out;
}

namespace {

// The reference is in place (or gone) for every workspace once it was placed for one: placing
// it again would take it out and put it back where it is.
bool placeReference(EditRun& run, xmlNode* document, const char* path, bool remove) {
  if (remove) {
    removePartialMenu(document, path);
    return true;
  }
  return addPartialMenu(run, document, path);
}

int mergeWorkspace(EditRun& run, xmlNode* workspace, bool referenced, const char* menuGroup,
                   const char* const* toolbarIds, const int* positions, int toolbarCount,
                   bool remove) {
  if (!referenced) return 1;
  if (remove) {
    removeToolbarEntries(workspace, menuGroup, toolbarIds, toolbarCount);
    return 1;
  }
  // The entries already there keep what the user made of them; a stray copy goes.
  std::vector<xmlNode*> found(static_cast<std::size_t>(toolbarCount));
  sortOutToolbarEntries(workspace, menuGroup, toolbarIds, toolbarCount, found.data(), true);
  for (int i = 0; i < toolbarCount; ++i)
    if (!found[i] && !addToolbarEntry(run, workspace, menuGroup, toolbarIds[i], 0, 1,
                                      positions[2 * i], positions[2 * i + 1], 1, 0, 0, 1))
      return 0;
  return 1;
}

// Appends the UTF-8 form of a code point.
void appendUtf8(unsigned long code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The value of a reference as plain text: the predefined entities and character references
// decoded (documents are held in UTF-8), everything else as it stands.
std::string plainText(const char* value) {
  static const struct {
    const char* entity;
    char character;
  } kEntities[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  for (const char* p = value; *p; ++p) {
    if (*p != '&') {
      out += *p;
      continue;
    }
    bool decoded = false;
    for (const auto& e : kEntities) {
      std::size_t length = std::strlen(e.entity);
      if (std::strncmp(p + 1, e.entity, length) == 0) {
        out += e.character;
        p += length;
        decoded = true;
        break;
      }
    }
    if (!decoded && p[1] == '#') {
      bool hex = p[2] == 'x' || p[2] == 'X';
      const char* digits = p + (hex ? 3 : 2);
      char* end = nullptr;
      unsigned long code = std::strtoul(digits, &end, hex ? 16 : 10);
      if (end != digits && *end == ';' && code > 0 && code <= 0x10FFFF &&
          !(code >= 0xD800 && code <= 0xDFFF) &&
          (hex ? std::isxdigit(static_cast<unsigned char>(*digits))
               : std::isdigit(static_cast<unsigned char>(*digits)))) {
        appendUtf8(code, &out);
        p = end;
        decoded = true;
      }
    }
    if (!decoded) out += '&';
  }
  return out;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A path's text for comparisons: blanks around it left out, separators made one.
std::string comparablePath(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  std::string out = text.substr(first, last - first);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// The last path component without its ".cui" or ".cuix" extension (any case); empty when it
// has neither.
std::string fileStem(const std::string& path) {
  std::size_t separator = path.rfind('\\');
  std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
  for (const char* extension : {".cuix", ".cui"}) {
    std::size_t length = std::strlen(extension);
    if (name.size() > length &&
        platform::equalsIgnoringAsciiCase(std::string_view(name).substr(name.size() - length),
                                          extension)) {
      name.resize(name.size() - length);
      return name;
    }
  }
  return std::string();
}

constexpr char kReferenceName[] = "PartialMenuFile";

// The text of a reference element as plain text; false when the child is no reference.
bool referenceText(xmlNode* child, std::string* text) {
  if (!child->name || !platform::equalsIgnoringAsciiCase(child->name, kReferenceName)) return false;
  const char* stored = nodeText(child);
  if (!stored) return false;
  // A CDATA section holds its text as it is; any other text in its written form.
  *text = child->value ? plainText(stored) : std::string(stored);
  return true;
}

// Whether the child is a reference to the partial file of path.
bool isAddOnReference(xmlNode* child, const char* path) {
  std::string text;
  return referenceText(child, &text) && namesPartialFile(text.c_str(), path);
}

bool spelledExactly(const xmlNode* reference) {
  return std::strcmp(reference->name, kReferenceName) == 0;
}

// Makes the reference's text the path, in place, in an element the host reads.
bool rewriteReference(xmlNode* reference, const char* path) {
  while (reference->firstChild) detach(reference->firstChild, true);  // a CDATA section
  return (spelledExactly(reference) || setName(reference, kReferenceName)) &&
         setValue(reference, writtenForm(path).c_str());
}

}  // namespace

int mergeMenuGroup(EditRun& run, xmlNode* document, const char* workspace, const char* partialPath,
                   const char* menuGroup, const char* const* toolbarIds, const int* positions,
                   int toolbarCount, bool remove) {
  xmlNode* first = findWorkspace(document, workspace);
  if (!first) return workspace ? 1 : 0;
  const bool referenced = placeReference(run, document, partialPath, remove);
  if (workspace)
    return mergeWorkspace(run, first, referenced, menuGroup, toolbarIds, positions, toolbarCount,
                          remove);
  // Each named workspace by its node, so that two workspaces of the same name both get the
  // entries.
  int sum = 0;
  for (xmlNode* node = first; node; node = findNextNamed(node, "Workspace"))
    if (workspaceName(node))
      sum += mergeWorkspace(run, node, referenced, menuGroup, toolbarIds, positions, toolbarCount,
                            remove);
  return sum;
}

xmlNode* findCommonItems(xmlNode* document, bool create) {
  if (!document) return nullptr;
  xmlNode* section;
  if (isPackageDocument(document)) {
    xmlNode* root = topNode(document);
    xmlNode* part = findChild(root, "Header.cui", create);
    if (!part) return nullptr;
    section = part->firstChild ? findSibling(part->firstChild, "CustSection") : nullptr;
    if (!section && create) section = findChild(part, "CustSection", true);
  } else {
    section = findOrAddSibling(document, "CustSection", create);
  }
  xmlNode* header = findChild(section, "Header", create);
  xmlNode* configuration = findChild(header, "CommonConfiguration", create);
  return findChild(configuration, "CommonItems", create);
}

bool addPartialMenu(EditRun& run, xmlNode* document, const char* path) {
  if (!path || !*path) return false;
  xmlNode* items = findCommonItems(document, true);
  if (!items) return false;
  if (!items->firstChild && !appendRevisionStamp(run, items, 0)) return false;
  // The first reference keeps its place among the others; later ones go.
  xmlNode* kept = nullptr;
  xmlNode* next = nullptr;
  for (xmlNode* child = items->firstChild; child; child = next) {
    next = child->next;
    if (!isAddOnReference(child, path)) continue;
    if (kept)
      detach(child, true);
    else
      kept = child;
  }
  if (!kept)
    return findChildWithText(items, "PartialMenuFile", writtenForm(path).c_str(), true) != nullptr;
  std::string text;
  referenceText(kept, &text);
  return (spelledExactly(kept) && namesPartialPath(text.c_str(), path)) ||
         rewriteReference(kept, path);
}

void removePartialMenu(xmlNode* document, const char* path) {
  xmlNode* items = findCommonItems(document, false);
  if (!items || !path || !*path) return;
  xmlNode* next = nullptr;
  for (xmlNode* child = items->firstChild; child; child = next) {
    next = child->next;
    if (isAddOnReference(child, path)) detach(child, true);
  }
}

bool namesPartialFile(const char* referenceText, const char* path) {
  const std::string stem = fileStem(comparablePath(referenceText));
  return !stem.empty() && platform::equalsIgnoringAsciiCase(stem, fileStem(comparablePath(path)));
}

bool namesPartialPath(const char* referenceText, const char* path) {
  return platform::equalsIgnoringAsciiCase(comparablePath(referenceText), comparablePath(path));
}

AddOnContent findAddOnContent(xmlNode* document, const char* path, const char* menuGroup,
                              const char* const* toolbarIds, int toolbarCount) {
  AddOnContent content;
  xmlNode* items = findCommonItems(document, false);
  for (xmlNode* child = items && path ? items->firstChild : nullptr; child; child = child->next) {
    std::string text;
    if (!referenceText(child, &text) || !namesPartialFile(text.c_str(), path)) continue;
    if (content.references++ > 0) continue;
    content.firstNamesPath = namesPartialPath(text.c_str(), path);
    content.firstSpelledExactly = spelledExactly(child);
  }
  std::vector<xmlNode*> found(static_cast<std::size_t>(toolbarCount));
  for (xmlNode* workspace = findWorkspace(document, nullptr); workspace;
       workspace = findNextNamed(workspace, "Workspace")) {
    if (!workspaceName(workspace)) continue;
    ++content.namedWorkspaces;
    content.laterEntries +=
        sortOutToolbarEntries(workspace, menuGroup, toolbarIds, toolbarCount, found.data(), false);
    for (xmlNode* entry : found) content.entries += entry ? 1 : 0;
  }
  return content;
}

namespace {

struct NewAttribute {
  const char* name;
  const char* value;  // in written form
};

// Links the attributes, in order, onto element, which has none yet: each behind the one before,
// without a search, in owner's arena (see newNodeIn). False when one could not be made; those
// made before it stay linked.
bool appendNewAttributes(xmlNode* owner, xmlNode* element, const NewAttribute* attributes,
                         std::size_t count) {
  xmlNode* last = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const char* value = attributes[i].value;
    xmlNode* attribute = newNodeIn(owner, attributes[i].name, std::strlen(attributes[i].name),
                                   value, std::strlen(value));
    if (!attribute) return false;
    attribute->edited = true;
    if (last)
      insertAfter(last, attribute);
    else
      appendAttribute(element, attribute);
    last = attribute;
  }
  return true;
}

}  // namespace

xmlNode* addToolbarEntry(EditRun& run, xmlNode* workspace, const char* menuGroup, const char* pUID,
                         int orientation, int display, int x, int y, int rows, int dockRow,
                         int dockColumn, int userVersion) {
  xmlNode* toolbarRoot = findChild(workspace, "WSToolbarRoot", true);
  if (!toolbarRoot) return nullptr;
  // Every text first: a string may throw when memory runs out, and nothing is linked yet.
  // Numbers, the orientation's name and the new identifier hold no reserved character.
  const std::string numbers[] = {std::to_string(display), std::to_string(x),
                                 std::to_string(y),       std::to_string(rows),
                                 std::to_string(dockRow), std::to_string(dockColumn)};
  const std::string uid = newToolbarId(run);
  const std::string group = writtenForm(menuGroup);
  const std::string id = writtenForm(pUID);
  const NewAttribute attributes[] = {
      {"MenuGroup", group.c_str()},       {"pUID", id.c_str()},
      {"Display", numbers[0].c_str()},    {"ToolbarOrient", orientationName(orientation)},
      {"xval", numbers[1].c_str()},       {"yval", numbers[2].c_str()},
      {"rows", numbers[3].c_str()},       {"dockrow", numbers[4].c_str()},
      {"dockcolumn", numbers[5].c_str()}, {"UID", uid.c_str()}};
  // Linked at once, so that its attributes go where the tree's nodes are; taken out again when
  // it cannot be made whole.
  xmlNode* const owner = arenaOwnerOf(toolbarRoot);
  xmlNode* entry = newNodeIn(owner, "WSToolbar", 9, nullptr, 0);
  if (!entry) return nullptr;
  appendChild(toolbarRoot, entry);
  if (!appendNewAttributes(owner, entry, attributes, sizeof attributes / sizeof attributes[0]) ||
      !appendRevisionStamp(run, entry, userVersion)) {
    detach(entry, true);
    return nullptr;
  }
  return entry;
}

xmlNode* appendRevisionStamp(const EditRun& run, xmlNode* parent, int userVersion) {
  bool modern =
      run.formatMajorVersion > 17 || (run.formatMajorVersion == 17 && run.formatMinorVersion >= 2);
  const char* name = modern ? "ModifiedRev" : "Revision";
  // Numbers this short fit in a string without allocating: nothing here throws.
  const std::string major = std::to_string(run.formatMajorVersion);
  const std::string minor = std::to_string(run.formatMinorVersion);
  const std::string user = std::to_string(userVersion);
  const NewAttribute attributes[] = {{"MajorVersion", major.c_str()},
                                     {"MinorVersion", minor.c_str()},
                                     {"UserVersion", user.c_str()}};
  xmlNode* const owner = arenaOwnerOf(parent);
  xmlNode* stamp = newNodeIn(owner, name, std::strlen(name), nullptr, 0);
  if (!stamp || !appendChild(parent, stamp)) {
    destroyNode(stamp);
    return nullptr;
  }
  if (!appendNewAttributes(owner, stamp, attributes, sizeof attributes / sizeof attributes[0])) {
    detach(stamp, true);
    return nullptr;
  }
  return stamp;
}
