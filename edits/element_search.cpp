#include "edits/element_search.h"

xmlNode* findNextNamed(xmlNode* node, const char* name) {
  if (!node) return nullptr;
  for (xmlNode* next = node->next; next; next = next->next)
    if (next->name && equalsIgnoreCase(next->name, name)) return next;
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
    if (text && (!name || equalsIgnoreCase(text, name))) return workspace;
  }
  return nullptr;
}

const char* workspaceName(xmlNode* workspace) {
  return workspace ? nodeText(findChild(workspace, "Name", false)) : nullptr;
}

xmlNode* findToolbarEntry(xmlNode* workspace, const char* menuGroup, const char* pUID) {
  xmlNode* toolbarRoot = workspace ? findChild(workspace, "WSToolbarRoot", false) : nullptr;
  for (xmlNode* entry = toolbarRoot ? findChild(toolbarRoot, "WSToolbar", false) : nullptr; entry;
       entry = findNextNamed(entry, "WSToolbar")) {
    const char* id = nodeText(findSibling(entry->firstAttribute, "pUID"));
    const char* group = nodeText(findSibling(entry->firstAttribute, "MenuGroup"));
    if (!id || !group) continue;
    if ((!pUID || equalsIgnoreCase(id, pUID)) && (!menuGroup || equalsIgnoreCase(group, menuGroup)))
      return entry;
  }
  return nullptr;
}

const char* orientationName(int index) {
  static const char* const kNames[] = {"floating", "left", "right", "top", "ignore"};
  return index >= 0 && index < 5 ? kNames[index] : "ignore";
}
