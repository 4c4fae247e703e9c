#include "edits/element_search.h"

#include <cstdlib>
#include <cstring>
#include <vector>

EditRun::EditRun()
    : idPrefixTable{{"WS_", 1},   {"WSU_", 1},  {"WSC_", 1}, {"WSCU_", 1}, {"XLS_", 1},
                    {"WSP_", 1},  {"WSPU_", 1}, {"WST_", 1}, {"WSTU_", 1}, {"WSE_", 1},
                    {"WSEU_", 1}, {"MM_", 1},   {"MMU_", 1}, {"XLSR_", 1}, {"TBBU_", 1},
                    {"TBFU_", 1}, {"WSR_", 1}} {}

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

namespace {

bool startsWithIgnoreCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    unsigned char a = static_cast<unsigned char>(*text), b = static_cast<unsigned char>(*prefix);
    if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

void countIdentifier(EditRun& run, const char* uid) {
  for (IdPrefix& entry : run.idPrefixTable) {
    if (!startsWithIgnoreCase(uid, entry.prefix)) continue;
    // As atol reads it: white space, a sign, digits; taken modulo 2^32.
    std::uint32_t number =
        static_cast<std::uint32_t>(std::strtoll(uid + std::strlen(entry.prefix), nullptr, 10));
    if (entry.counter <= number) entry.counter = number + 1;
    return;
  }
}

}  // namespace

void scanIdentifiers(EditRun& run, xmlNode* document) {
  // Document order without recursion: a node, its children, then its next sibling.
  std::vector<xmlNode*> pending;
  if (document) pending.push_back(document);
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (node->next) pending.push_back(node->next);
    if (node->firstChild) pending.push_back(node->firstChild);
    const char* uid = nodeText(findSibling(node->firstAttribute, "UID"));
    if (uid) countIdentifier(run, uid);
  }
}

std::string newToolbarId(EditRun& run) {
  std::uint32_t number = run.idPrefixTable[kToolbarIdPrefix].counter++;
  return std::string(run.idPrefixTable[kToolbarIdPrefix].prefix) + std::to_string(number);
}

void setFormatVersion(EditRun& run, unsigned major, unsigned minor) {
  run.formatMajorVersion = major;
  run.formatMinorVersion = minor;
}

const char* orientationName(int index) {
  static const char* const kNames[] = {"floating", "left", "right", "top", "ignore"};
  return index >= 0 && index < 5 ? kNames[index] : "ignore";
}

bool checkTree(xmlNode* start) {
  std::vector<xmlNode*> pending;
  if (!start) return false;
  pending.push_back(start);
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (!node->name) return false;
    if (node->value && node->firstChild) return false;
    for (xmlNode* a = node->firstAttribute; a; a = a->next) {
      if (!a->name || !a->value || a->firstChild || a->parent != node) return false;
      if (a->prev ? a->prev->next != a : node->firstAttribute != a) return false;
      if (a->next && a->next->prev != a) return false;
    }
    if (node->parent && !node->prev && node->parent->firstChild != node) return false;
    if (node->prev && node->prev->next != node) return false;
    if (node->next && node->next->prev != node) return false;
    if (node->next) pending.push_back(node->next);
    if (node->firstChild) pending.push_back(node->firstChild);
  }
  return true;
}
