#include "package/package_file.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document/xml_file.h"
#include "package/extra_data.h"
#include "platform/temp_file.h"

const char* const packagePartNames[] = {"Header.cui",
                                        "WorkspaceRoot.cui",
                                        "MenuGroup.cui",
                                        "AcceleratorRoot.cui",
                                        "OverrideRoot.cui",
                                        "MouseButtonRoot.cui",
                                        "PopMenuRoot.cui",
                                        "ToolbarRoot.cui",
                                        "DoubleClickRoot.cui",
                                        "QuickPropertiesRoot.cui",
                                        "RolloverTooltipRoot.cui",
                                        "RibbonRoot.cui",
                                        "QuickAccessToolbarRoot.cui",
                                        "ToolPanelRoot.cui",
                                        "PanelSetRoot.cui",
                                        "ScreenMenuRoot.cui",
                                        "ImageMenuRoot.cui",
                                        "TabletMenuRoot.cui",
                                        "DigitizerButtonRoot.cui",
                                        "LSPFiles.cui",
                                        "Menu_Package_Info.xml",
                                        "[Content_Types].xml",
                                        "_rels\\.rels",
                                        nullptr};

namespace {

bool writeBytes(const std::string& path, const std::vector<unsigned char>& data) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = !data.empty() && std::fwrite(data.data(), 1, data.size(), file) == data.size();
  return std::fclose(file) == 0 && ok;
}

bool readBytes(const std::string& path, std::vector<unsigned char>* data) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  data->clear();
  unsigned char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    data->insert(data->end(), buffer, buffer + got);
  bool ok = !std::ferror(file) && !data->empty();
  std::fclose(file);
  return ok;
}

}  // namespace

xmlNode* loadCuixPackage(const char* path, unsigned codePage) {
  platform::TempFile temp;
  if (!temp.valid()) return nullptr;
  auto content = std::make_unique<extraDataZlib>();
  if (!content->list.readArchive(path, packagePartNames)) return nullptr;
  xmlNode* root = newNode(nullptr, nullptr);
  if (!root) return nullptr;
  zipEntryList& list = content->list;
  root->extra = content.release();
  std::vector<unsigned char> data;
  for (const char* const* row = packagePartNames; *row; ++row) {
    if (!list.findEntryData(*row, &data)) continue;
    xmlNode* document = nullptr;
    xmlNode* part = nullptr;
    if (!writeBytes(temp.path(), data) ||
        !(document = loadXmlFile(temp.path().c_str(), codePage)) ||
        !(part = newNode(*row, nullptr)) || !(document->extra = new extraDataFileName(*row))) {
      destroyNode(document);
      destroyNode(root);
      return nullptr;
    }
    part->firstChild = document;
    for (xmlNode* node = document; node; node = node->next) node->parent = part;
    appendChild(root, part);
  }
  return root;
}

int saveCuixPackage(const char* path, xmlNode* root, unsigned codePage) {
  if (!root || !root->extra || root->extra->kind != kExtraPackageRoot) return -1;
  zipEntryList& list = static_cast<extraDataZlib*>(root->extra)->list;
  platform::TempFile temp;
  if (!temp.valid() || !root->firstChild) return -1;
  std::vector<unsigned char> data;
  for (xmlNode* part = root->firstChild; part; part = part->next) {
    xmlNode* document = part->firstChild;
    // A part made by an edit has no member yet: it becomes a new member named after it.
    const char* member = part->name;
    if (document && document->extra && document->extra->kind == kExtraPartName)
      member = static_cast<extraDataFileName*>(document->extra)->entryName;
    if (!member) return -1;
    // A part nothing changed since the load keeps its member byte for byte.
    const zipEntry* entry = list.findEntry(member);
    if (!part->edited && entry && !entry->data.empty()) continue;
    int result = saveXmlFile(temp.path().c_str(), document, codePage);
    if (result != 0) return result;
    if (!readBytes(temp.path(), &data)) return -1;
    list.setEntryData(member, data.data(), data.size());
  }
  return list.writeArchive(path) ? 0 : -1;
}
