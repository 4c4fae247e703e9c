#include "edits/element_search.h"

#include "platform/ascii_text.h"

xmlNode* findNextNamed(xmlNode* node, const char* name) {
  if (!node || !name) return nullptr;
  for (xmlNode* next = node->next; next; next = next->next)
    if (next->name && platform::equalsIgnoringAsciiCase(next->name, name)) return next;
  return nullptr;
}

const char* nodeText(xmlNode* node) {
  if (!node) return nullptr;
  if (node->value) return node->value;
  const xmlNode* only = node->firstChild;
  return only && !only->next && only->cdata ? only->value : nullptr;
}

xmlNode* findWorkspaceRoot(xmlNode* document) {
  if (!document) return nullptr;
  if (isPackageDocument(document)) {
    xmlNode* part = findChild(document, "WorkspaceRoot.cui", false);
    return part ? findSibling(part->firstChild, "WorkspaceRoot") : nullptr;
  }
  xmlNode* section = findSibling(document, "CustSection");
  xmlNode* header = section ? findChild(section, "Header", false) : nullptr;
  return header ? findChild(header, "WorkspaceRoot", false) : nullptr;
}

xmlNode* findWorkspace(xmlNode* document, const char* name) {
  xmlNode* root = findWorkspaceRoot(document);
  for (xmlNode* workspace = root ? findChild(root, "Workspace", false) : nullptr; workspace;
       workspace = findNextNamed(workspace, "Workspace")) {
    const char* text = workspaceName(workspace);
    if (text && (!name || platform::equalsIgnoringAsciiCase(text, name))) return workspace;
  }
  return nullptr;
}

const char* workspaceName(xmlNode* workspace) {
  return workspace ? nodeText(findChild(workspace, "Name", false)) : nullptr;
}

namespace {

// id is never null.
bool matchesId(const char* id, const char* wanted) {
  return !wanted || platform::equalsIgnoringAsciiCase(id, wanted);
}

// Calls visit(entry, id) for each "WSToolbar" entry of menuGroup in the workspace whose pUID
// matches one of the count ids, until visit returns false. The next entry is taken before the
// visit, so that a visit may take the entry out.
template <typename Visit>
void forEachToolbarEntry(xmlNode* workspace, const char* menuGroup, const char* const* ids,
                         int count, Visit visit) {
  xmlNode* toolbarRoot = workspace ? findChild(workspace, "WSToolbarRoot", false) : nullptr;
  xmlNode* next = nullptr;
  for (xmlNode* entry = toolbarRoot ? findChild(toolbarRoot, "WSToolbar", false) : nullptr; entry;
       entry = next) {
    next = findNextNamed(entry, "WSToolbar");
    const char* id = nodeText(findSibling(entry->firstAttribute, "pUID"));
    const char* group = nodeText(findSibling(entry->firstAttribute, "MenuGroup"));
    if (!id || !group || (menuGroup && !platform::equalsIgnoringAsciiCase(group, menuGroup)))
      continue;
    for (int i = 0; i < count; ++i) {
      if (matchesId(id, ids[i])) {
        if (!visit(entry, id)) return;
        break;
      }
    }
  }
}

}  // namespace

int findToolbarEntries(xmlNode* workspace, const char* menuGroup, const char* const* ids, int count,
                       xmlNode** found) {
  for (int i = 0; i < count; ++i) found[i] = nullptr;
  int seen = 0;
  forEachToolbarEntry(workspace, menuGroup, ids, count, [&](xmlNode* entry, const char* id) {
    for (int i = 0; i < count; ++i) {
      if (!found[i] && matchesId(id, ids[i])) {
        found[i] = entry;
        ++seen;
      }
    }
    return seen < count;
  });
  return seen;
}

int sortOutToolbarEntries(xmlNode* workspace, const char* menuGroup, const char* const* ids,
                          int count, xmlNode** found, bool dropLater) {
  for (int i = 0; i < count; ++i) found[i] = nullptr;
  int later = 0;
  forEachToolbarEntry(workspace, menuGroup, ids, count, [&](xmlNode* entry, const char* id) {
    for (int i = 0; i < count; ++i) {
      if (!matchesId(id, ids[i])) continue;
      if (!found[i]) {
        found[i] = entry;
        return true;
      }
    }
    ++later;
    if (dropLater) detach(entry, true);
    return true;
  });
  return later;
}

void removeToolbarEntries(xmlNode* workspace, const char* menuGroup, const char* const* ids,
                          int count) {
  forEachToolbarEntry(workspace, menuGroup, ids, count, [](xmlNode* entry, const char*) {
    detach(entry, true);
    return true;
  });
}

xmlNode* findToolbarEntry(xmlNode* workspace, const char* menuGroup, const char* pUID) {
  xmlNode* found = nullptr;
  findToolbarEntries(workspace, menuGroup, &pUID, 1, &found);
  return found;
}

const char* orientationName(int index) {
  static const char* const kNames[] = {"floating", "left", "right", "top", "ignore"};
  return index >= 0 && index < 5 ? kNames[index] : "ignore";
}
