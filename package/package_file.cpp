#include "package/package_file.h"

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/xml_file.h"
#include "document/xml_writer.h"
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

namespace {

bool readAsTree(const PackageReading& reading, const char* name) {
  if (!reading.treeParts) return true;
  for (const char* const* row = reading.treeParts; *row; ++row)
    if (equalsIgnoreCase(*row, name)) return true;
  return false;
}

// The part node of a member's text, terminated in the room the read kept for it: with the
// parsed document as its children, or checked only; null when the text is malformed.
xmlNode* readPart(const PackageReading& reading, const char* name, const char* text,
                  std::size_t length) {
  if (!readAsTree(reading, name)) {
    auto checked = std::make_unique<extraDataCheckedPart>(name);
    if (!checkTerminatedXmlText(text, length, reading.collectedAttribute,
                                &checked->collectedValues))
      return nullptr;
    xmlNode* part = newNode(name, nullptr);
    if (part) part->extra = checked.release();
    return part;
  }
  xmlNodeHolder document(parseTerminatedXmlText(text, length));
  if (!document) return nullptr;
  document->extra = new extraDataFileName(name);
  xmlNode* part = newNode(name, nullptr);
  if (!part) return nullptr;
  part->firstChild = document.release();
  for (xmlNode* node = part->firstChild; node; node = node->next) node->parent = part;
  return part;
}

}  // namespace

xmlNode* loadCuixPackage(const char* path, unsigned /*codePage*/, const PackageReading& reading) {
  try {
    auto content = std::make_unique<extraDataZlib>();
    if (!content->list.readArchive(path, packagePartNames)) return nullptr;
    xmlNodeHolder root(newNode(nullptr, nullptr));
    if (!root) return nullptr;
    zipEntryList& list = content->list;
    root->extra = content.release();
    for (const char* const* row = packagePartNames; *row; ++row) {
      zipEntry* entry = list.findEntry(*row);
      if (!entry) continue;
      std::vector<unsigned char>& data = entry->data;
      data.push_back(0);
      xmlNode* part =
          readPart(reading, *row, reinterpret_cast<const char*>(data.data()), data.size() - 1);
      data.pop_back();
      if (!part) return nullptr;
      appendChild(root.get(), part);
      // The text lives on in the tree or is not needed; a save writes the member's bytes as they
      // were read.
      list.releaseData(entry);
    }
    return root.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

// A part's text as writeXmlText gives it: 0, kSaveNoFile without a named node, or the
// writer's error.
int writePart(xmlNode* document, std::vector<unsigned char>* text) {
  bool named = false;
  for (const xmlNode* node = document; node && !named; node = node->next) named = node->name;
  if (!named) return kSaveNoFile;
  // The text goes straight into the bytes its member then takes over.
  xmlAppendingSink<std::vector<unsigned char>> sink(*text);
  return writeDocument(document, sink);
}

}  // namespace

int saveCuixPackage(const char* path, xmlNode* root, unsigned /*codePage*/,
                    const platform::FileIdentity* expected) {
  if (!root || !root->extra || root->extra->kind != kExtraPackageRoot || !root->firstChild)
    return -1;
  zipEntryList& list = static_cast<extraDataZlib*>(root->extra)->list;
  try {
    for (xmlNode* part = root->firstChild; part; part = part->next) {
      xmlNode* document = part->firstChild;
      // A checked part has no document to write: a change to it is refused, not saved as empty.
      if (part->extra && part->extra->kind == kExtraCheckedPart) {
        if (part->edited || document) return -1;
        continue;
      }
      // A part made by an edit has no member yet: it becomes a new member named after it.
      const char* member = part->name;
      if (document && document->extra && document->extra->kind == kExtraPartName)
        member = static_cast<extraDataFileName*>(document->extra)->entryName;
      if (!member) return -1;
      // A part nothing changed since the load keeps its member byte for byte.
      const zipEntry* entry = list.findEntry(member);
      if (!part->edited && entry && (entry->dataReleased || !entry->data.empty())) continue;
      // Room for the text as read and a quarter more, so that it seldom grows in steps.
      std::vector<unsigned char> text;
      if (entry) text.reserve(entry->info.uncompressedSize + entry->info.uncompressedSize / 4);
      int result = writePart(document, &text);
      if (result != 0) return result;
      list.setEntryData(member, std::move(text));
    }
    return list.writeArchive(path, expected) ? 0 : -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}
