#include "package/package_file.h"

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/xml_file.h"
#include "document/xml_writer.h"
#include "package/extra_data.h"
#include "package/member_deflater.h"

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
    // Each part is read as soon as its member is, so that only one member's text is held at a
    // time; they join the root in the order of the table.
    std::vector<xmlNodeHolder> parts;
    for (const char* const* row = packagePartNames; *row; ++row) parts.emplace_back();
    auto readMember = [&reading, &parts](zipEntry& entry) {
      if (entry.dataSkipped) return true;
      for (std::size_t row = 0; row < parts.size(); ++row) {
        if (parts[row] || !equalsIgnoreCase(entry.name.c_str(), packagePartNames[row])) continue;
        MemberBytes& data = entry.data;
        data.push_back(0);  // in the room the read kept for it
        parts[row].reset(readPart(reading, packagePartNames[row],
                                  reinterpret_cast<const char*>(data.data()), data.size() - 1));
        data.pop_back();
        if (!parts[row]) return false;
        break;
      }
      // The text lives on in the tree or is not needed: the read releases it, and a save writes
      // the member's bytes as they were read.
      return true;
    };
    const char* const* readDataOf = reading.treePartsOnly ? reading.treeParts : nullptr;
    if (!content->list.readArchive(path, packagePartNames, readMember, readDataOf)) return nullptr;
    xmlNodeHolder root(newNode(nullptr, nullptr));
    if (!root) return nullptr;
    root->extra = content.release();
    for (xmlNodeHolder& part : parts)
      if (part) appendChild(root.get(), part.release());
    return root.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

// Hands the text on to a deflater, piece by piece as the writer makes it.
class DeflatingSink : public xmlSink {
 public:
  explicit DeflatingSink(MemberDeflater& deflater) : deflater_(deflater) {}
  int put(const char* data, std::size_t length) override {
    return deflater_.add(reinterpret_cast<const unsigned char*>(data), length, kMaxMemberSize)
               ? 0
               : kWriteNoMemory;
  }

 private:
  MemberDeflater& deflater_;
};

// Writes a part's document as the named member: 0, kSaveNoFile without a named node, or the
// writer's error. The text is deflated as it is written and never held whole, unless the member
// is stored, or the text may be the one the member holds (then it is kept as it was read).
int writePart(zipEntryList& list, const char* member, xmlNode* document) {
  if (!hasNamedNode(document)) return kSaveNoFile;
  const zipEntry* entry = list.findEntry(member);
  if (!entry || entry->info.compressionMethod != 0) {
    MemberDeflater deflater;
    DeflatingSink sink(deflater);
    int result = writeDocument(document, sink);
    if (result != 0) return result;
    if (!deflater.finish()) return kWriteNoMemory;
    const bool maybeSame = entry && entry->info.crc == deflater.crc() &&
                           entry->info.uncompressedSize == deflater.size();
    if (!maybeSame) {
      list.setEntryDeflated(member, std::move(deflater.output()), deflater.crc(),
                            static_cast<std::uint32_t>(deflater.size()));
      return 0;
    }
  }
  // Room for the text as read and a quarter more, so that it seldom grows in steps.
  MemberBytes text;
  if (entry) text.reserve(entry->info.uncompressedSize + entry->info.uncompressedSize / 4);
  xmlAppendingSink<MemberBytes> sink(text);
  int result = writeDocument(document, sink);
  if (result != 0) return result;
  list.setEntryData(member, std::move(text));
  return 0;
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
      int result = writePart(list, member, document);
      if (result != 0) return result;
    }
    return list.writeArchive(path, expected) ? 0 : -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}
