#include "package/package_file.h"

#include <memory>
#include <new>
#include <string>

#include "document/xml_file.h"
#include "package/extra_data.h"

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

xmlNode* loadCuixPackage(const char* path, unsigned /*codePage*/) {
  try {
    auto content = std::make_unique<extraDataZlib>();
    if (!content->list.readArchive(path, packagePartNames)) return nullptr;
    xmlNodeHolder root(newNode(nullptr, nullptr));
    if (!root) return nullptr;
    const zipEntryList& list = content->list;
    root->extra = content.release();
    for (const char* const* row = packagePartNames; *row; ++row) {
      const zipEntry* entry = list.findEntry(*row);
      if (!entry) continue;
      xmlNodeHolder document(
          parseXmlText(reinterpret_cast<const char*>(entry->data.data()), entry->data.size()));
      if (!document) return nullptr;
      document->extra = new extraDataFileName(*row);
      xmlNode* part = newNode(*row, nullptr);
      if (!part) return nullptr;
      part->firstChild = document.release();
      for (xmlNode* node = part->firstChild; node; node = node->next) node->parent = part;
      appendChild(root.get(), part);
    }
    return root.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int saveCuixPackage(const char* path, xmlNode* root, unsigned /*codePage*/,
                    const platform::FileIdentity* expected) {
  if (!root || !root->extra || root->extra->kind != kExtraPackageRoot || !root->firstChild)
    return -1;
  zipEntryList& list = static_cast<extraDataZlib*>(root->extra)->list;
  try {
    std::string text;
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
      int result = writeXmlText(document, &text);
      if (result != 0) return result;
      list.setEntryData(member, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }
    return list.writeArchive(path, expected) ? 0 : -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}
