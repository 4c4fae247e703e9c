#include "edits/menu_merge.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "edits/element_search.h"

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
  // Every earlier entry goes, so that neither an add nor a remove leaves a stray copy.
  removeToolbarEntries(workspace, menuGroup, toolbarIds, toolbarCount);
  if (remove) return 1;
  for (int i = 0; i < toolbarCount; ++i)
    if (!addToolbarEntry(run, workspace, menuGroup, toolbarIds[i], 0, 1, positions[2 * i],
                         positions[2 * i + 1], 1, 0, 0, 1))
      return 0;
  return 1;
}

// The value of a reference as plain text: the predefined entities and character references
// of ASCII characters decoded, everything else as it stands.
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
      if (end != digits && *end == ';' && code > 0 && code < 128 &&
          (hex ? std::isxdigit(static_cast<unsigned char>(*digits))
               : std::isdigit(static_cast<unsigned char>(*digits)))) {
        out += static_cast<char>(code);
        p = end;
        decoded = true;
      }
    }
    if (!decoded) out += '&';
  }
  return out;
}

// The first "PartialMenuFile" child whose text, read as plain text, equals text without
// regard to ASCII case.
xmlNode* findReference(xmlNode* items, const char* text) {
  for (xmlNode* child = items ? items->firstChild : nullptr; child; child = child->next)
    if (child->name && child->value && equalsIgnoreCase(child->name, "PartialMenuFile") &&
        equalsIgnoreCase(plainText(child->value).c_str(), text))
      return child;
  return nullptr;
}

const char* fileNamePart(const char* path) {
  const char* slash = std::strrchr(path, '/');
  const char* backslash = std::strrchr(path, '\\');
  const char* separator = slash > backslash ? slash : backslash;
  return separator && separator[1] ? separator + 1 : nullptr;
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
  removePartialMenu(document, path);
  return findChildWithText(items, "PartialMenuFile", writtenForm(path).c_str(), true) != nullptr;
}

void removePartialMenu(xmlNode* document, const char* path) {
  xmlNode* items = findCommonItems(document, false);
  if (!items || !path || !*path) return;
  const char* forms[] = {path, fileNamePart(path)};
  for (const char* form : forms) {
    if (!form) continue;
    while (xmlNode* reference = findReference(items, form)) detach(reference, true);
  }
}

bool holdsPartialMenu(xmlNode* document, const char* path, bool fileNameToo) {
  xmlNode* items = findCommonItems(document, false);
  if (!items || !path || !*path) return false;
  if (findReference(items, path)) return true;
  const char* name = fileNameToo ? fileNamePart(path) : nullptr;
  return name && findReference(items, name);
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
