#include "edits/menu_merge.h"

#include <cstring>
#include <string>

#include "edits/element_search.h"

std::string writtenForm(const char* text) {
  std::string out;
  for (const char* p = text; p && *p; ++p) {
    switch (*p) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *p;
    }
  }
  return out;
}

namespace {

int mergeWorkspace(EditRun& run, xmlNode* document, const char* name, const char* path,
                   const char* menuGroup, const char* const* toolbarIds, const int* positions,
                   int toolbarCount, bool remove) {
  xmlNode* workspace = findWorkspace(document, name);
  if (!workspace) return 1;
  if (remove) {
    removePartialMenu(document, path);
  } else if (!addPartialMenu(run, document, path)) {
    return 1;
  }
  // Every earlier entry goes, so that neither an add nor a remove leaves a stray copy.
  for (int i = 0; i < toolbarCount; ++i)
    while (xmlNode* entry = findToolbarEntry(workspace, menuGroup, toolbarIds[i]))
      detach(entry, true);
  if (remove) return 1;
  for (int i = 0; i < toolbarCount; ++i)
    if (!addToolbarEntry(run, workspace, menuGroup, toolbarIds[i], 0, 1, positions[2 * i],
                         positions[2 * i + 1], 1, 0, 0, 1))
      return 0;
  return 1;
}

}  // namespace

int mergeMenuGroup(EditRun& run, xmlNode* document, const char* workspace, const char* partialPath,
                   const char* menuGroup, const char* const* toolbarIds, const int* positions,
                   int toolbarCount, bool remove) {
  if (workspace)
    return mergeWorkspace(run, document, workspace, partialPath, menuGroup, toolbarIds, positions,
                          toolbarCount, remove);
  int sum = 0;
  for (xmlNode* node = findWorkspace(document, nullptr); node;
       node = findNextNamed(node, "Workspace")) {
    // Copied: the merge may not touch the name, but the look-up goes by it.
    const char* name = workspaceName(node);
    if (!name) continue;
    std::string copy = name;
    sum += mergeWorkspace(run, document, copy.c_str(), partialPath, menuGroup, toolbarIds,
                          positions, toolbarCount, remove);
  }
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
  xmlNode* items = findCommonItems(document, true);
  if (!items) return false;
  if (!items->firstChild) {
    xmlNode* stamp = makeRevisionStamp(run, 0);
    if (!stamp) return false;
    appendChild(items, stamp);
  }
  removePartialMenu(document, path);
  return findChildWithText(items, "PartialMenuFile", writtenForm(path).c_str(), true) != nullptr;
}

void removePartialMenu(xmlNode* document, const char* path) {
  xmlNode* items = findCommonItems(document, false);
  if (!items || !path) return;
  const char* slash = std::strrchr(path, '/');
  const char* backslash = std::strrchr(path, '\\');
  const char* separator = !slash ? backslash : !backslash ? slash : slash > backslash ? slash : backslash;
  std::string forms[] = {writtenForm(path), separator ? writtenForm(separator + 1) : std::string()};
  for (const std::string& form : forms) {
    if (form.empty()) continue;
    while (xmlNode* reference = findChildWithText(items, "PartialMenuFile", form.c_str(), false))
      detach(reference, true);
  }
}

xmlNode* addToolbarEntry(EditRun& run, xmlNode* workspace, const char* menuGroup, const char* pUID,
                         int orientation, int display, int x, int y, int rows, int dockRow,
                         int dockColumn, int userVersion) {
  xmlNode* toolbarRoot = findChild(workspace, "WSToolbarRoot", true);
  if (!toolbarRoot) return nullptr;
  xmlNode* entry = newNode("WSToolbar", nullptr);
  if (!entry) return nullptr;
  const std::string numbers[] = {std::to_string(display), std::to_string(x), std::to_string(y),
                                 std::to_string(rows), std::to_string(dockRow),
                                 std::to_string(dockColumn)};
  const std::string uid = newToolbarId(run);
  const char* attributes[][2] = {{"MenuGroup", menuGroup},
                                 {"pUID", pUID},
                                 {"Display", numbers[0].c_str()},
                                 {"ToolbarOrient", orientationName(orientation)},
                                 {"xval", numbers[1].c_str()},
                                 {"yval", numbers[2].c_str()},
                                 {"rows", numbers[3].c_str()},
                                 {"dockrow", numbers[4].c_str()},
                                 {"dockcolumn", numbers[5].c_str()},
                                 {"UID", uid.c_str()}};
  xmlNode* stamp = makeRevisionStamp(run, userVersion);
  bool ok = stamp != nullptr;
  for (const auto& attribute : attributes)
    ok = ok && setAttribute(entry, attribute[0], writtenForm(attribute[1]).c_str());
  if (!ok) {
    destroyNode(stamp);
    destroyNode(entry);
    return nullptr;
  }
  appendChild(entry, stamp);
  appendChild(toolbarRoot, entry);
  return entry;
}

xmlNode* makeRevisionStamp(const EditRun& run, int userVersion) {
  xmlNode* stamp = newNode(nullptr, nullptr);
  bool modern = run.formatMajorVersion > 17 ||
                (run.formatMajorVersion == 17 && run.formatMinorVersion >= 2);
  if (!stamp || !setName(stamp, modern ? "ModifiedRev" : "Revision")) {
    destroyNode(stamp);
    return nullptr;
  }
  setVersionAttributes(run, stamp, userVersion);
  return stamp;
}

void setVersionAttributes(const EditRun& run, xmlNode* element, int userVersion) {
  setAttribute(element, "MajorVersion", std::to_string(run.formatMajorVersion).c_str());
  setAttribute(element, "MinorVersion", std::to_string(run.formatMinorVersion).c_str());
  setAttribute(element, "UserVersion", std::to_string(userVersion).c_str());
}
