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
#include "package/zip_entry.h"
#include "platform/ascii_text.h"

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
    if (platform::equalsIgnoringAsciiCase(*row, name)) return true;
  return false;
}

// The part node of a member's text, terminated in the room the read kept for it, in *part: with
// the parsed document as its children, or checked only. Otherwise why the text was refused.
DocumentError readPart(const PackageReading& reading, const char* name, const char* text,
                       std::size_t length, xmlNodeHolder* part) {
  if (!readAsTree(reading, name)) {
    auto checked = std::make_unique<extraDataCheckedPart>(name);
    const DocumentError read =
        checkTerminatedXmlText(text, length, reading.collectedAttribute, &checked->collectedValues);
    if (read != DocumentError::kNone) return read;
    part->reset(newNode(name, nullptr));
    if (!*part) return DocumentError::kOutOfMemory;
    (*part)->extra = checked.release();
    return DocumentError::kNone;
  }
  DocumentError read = DocumentError::kNone;
  xmlNodeHolder document(parseTerminatedXmlText(text, length, &read));
  if (!document) return read;
  document->extra = new extraDataFileName(name);
  part->reset(newNode(name, nullptr));
  if (!*part) return DocumentError::kOutOfMemory;
  (*part)->firstChild = document.release();
  for (xmlNode* node = (*part)->firstChild; node; node = node->next) node->parent = part->get();
  return DocumentError::kNone;
}

// The package's reason for what the archive's read or write gave.
PackageError archiveFailure(ZipError error) {
  switch (error) {
    case ZipError::kNone:
      return PackageError::kNone;
    case ZipError::kFileMissing:
      return PackageError::kFileMissing;
    case ZipError::kNotRegularFile:
      return PackageError::kNotRegularFile;
    case ZipError::kReadFailed:
      return PackageError::kReadFailed;
    case ZipError::kArchiveTooLarge:
      return PackageError::kArchiveTooLarge;
    case ZipError::kMemberTooLarge:
      return PackageError::kMemberTooLarge;
    case ZipError::kOutOfMemory:
      return PackageError::kOutOfMemory;
    case ZipError::kDamaged:
      return PackageError::kDamagedArchive;
    case ZipError::kBadCrc:
      return PackageError::kBadCrc;
    case ZipError::kUnsupportedMethod:
      return PackageError::kUnsupportedCompression;
    case ZipError::kDuplicateName:
      return PackageError::kAmbiguousPart;
    case ZipError::kNoMembers:
      return PackageError::kNotAPackage;
    case ZipError::kMemberRefused:  // a part that failed: its reason is the document's
      return PackageError::kDocument;
    case ZipError::kDataSkipped:
      return PackageError::kNotSavable;
    case ZipError::kChanged:
      return PackageError::kChanged;
    case ZipError::kWriteFailed:
      break;
  }
  return PackageError::kWriteFailed;
}

// The root of the package content read, with the parts read as asked.
xmlNode* readPackage(const char* path, const PackageReading& reading, PackageFailure* failure) {
  auto content = std::make_unique<extraDataZlib>();
  // Each part is read as soon as its member is, so that only one member's text is held at a
  // time; they join the root in the order of the table.
  std::vector<xmlNodeHolder> parts;
  for (const char* const* row = packagePartNames; *row; ++row) parts.emplace_back();
  auto readMember = [&reading, &parts, failure](zipEntry& entry) {
    if (entry.dataSkipped) return true;
    for (std::size_t row = 0; row < parts.size(); ++row) {
      if (parts[row] || !platform::equalsIgnoringAsciiCase(entry.name, packagePartNames[row]))
        continue;
      MemberBytes& data = entry.data;
      data.push_back(0);  // in the room the read kept for it
      failure->document =
          readPart(reading, packagePartNames[row], reinterpret_cast<const char*>(data.data()),
                   data.size() - 1, &parts[row]);
      data.pop_back();
      if (failure->document != DocumentError::kNone) return false;
      break;
    }
    // The text lives on in the tree or is not needed: the read releases it, and a save writes
    // the member's bytes as they were read.
    return true;
  };
  const char* const* readDataOf = reading.treePartsOnly ? reading.treeParts : nullptr;
  failure->error =
      archiveFailure(content->list.readArchive(path, packagePartNames, readMember, readDataOf));
  if (failure->failed()) return nullptr;
  xmlNodeHolder root(newNode(nullptr, nullptr));
  if (!root) {
    failure->error = PackageError::kOutOfMemory;
    return nullptr;
  }
  root->extra = content.release();
  for (xmlNodeHolder& part : parts)
    if (part) appendChild(root.get(), part.release());
  return root.release();
}

}  // namespace

xmlNode* loadCuixPackage(const char* path, const PackageReading& reading, PackageFailure* failure) {
  PackageFailure ignored;
  if (!failure) failure = &ignored;
  *failure = PackageFailure{};
  try {
    return readPackage(path, reading, failure);
  } catch (const std::bad_alloc&) {
    *failure = PackageFailure{PackageError::kOutOfMemory};
    return nullptr;
  }
}

namespace {

// Hands the text on to a deflater, piece by piece as the writer makes it.
class DeflatingSink : public xmlSink {
 public:
  explicit DeflatingSink(MemberDeflater& deflater) : deflater_(deflater) {}
  DocumentError put(const char* data, std::size_t length) override {
    if (length > kMaxMemberSize - deflater_.size()) return DocumentError::kTooLarge;
    return deflater_.add(reinterpret_cast<const unsigned char*>(data), length, kMaxMemberSize)
               ? DocumentError::kNone
               : DocumentError::kOutOfMemory;
  }

 private:
  MemberDeflater& deflater_;
};

// Writes a part's document as the named member: kNone, kNoDocument without a named node, or the
// writer's error. The text is deflated as it is written and never held whole, unless the member
// is stored, or the text may be the one the member holds (then it is kept as it was read).
DocumentError writePart(zipEntryList& list, const char* member, xmlNode* document) {
  if (!hasNamedNode(document)) return DocumentError::kNoDocument;
  const zipEntry* entry = list.findEntry(member);
  if (!entry || entry->info.compressionMethod != 0) {
    MemberDeflater deflater;
    DeflatingSink sink(deflater);
    const DocumentError written = writeDocument(document, sink);
    if (written != DocumentError::kNone) return written;
    if (!deflater.finish()) return DocumentError::kOutOfMemory;
    const bool maybeSame = entry && entry->info.crc == deflater.crc() &&
                           entry->info.uncompressedSize == deflater.size();
    if (!maybeSame) {
      list.setEntryDeflated(member, std::move(deflater.output()), deflater.crc(),
                            static_cast<std::uint32_t>(deflater.size()));
      return DocumentError::kNone;
    }
  }
  // Room for the text as read and a quarter more, so that it seldom grows in steps.
  MemberBytes text;
  if (entry) text.reserve(entry->info.uncompressedSize + entry->info.uncompressedSize / 4);
  xmlAppendingSink<MemberBytes> sink(text);
  const DocumentError written = writeDocument(document, sink);
  if (written != DocumentError::kNone) return written;
  list.setEntryData(member, std::move(text));
  return DocumentError::kNone;
}

PackageFailure writePackage(const char* path, xmlNode* root,
                            const platform::FileIdentity* expected) {
  const PackageFailure notSavable{PackageError::kNotSavable};
  if (!root || !root->extra || root->extra->kind != kExtraPackageRoot || !root->firstChild)
    return notSavable;
  zipEntryList& list = static_cast<extraDataZlib*>(root->extra)->list;
  for (xmlNode* part = root->firstChild; part; part = part->next) {
    xmlNode* document = part->firstChild;
    // A checked part has no document to write: a change to it is refused, not saved as empty.
    if (part->extra && part->extra->kind == kExtraCheckedPart) {
      if (part->edited || document) return notSavable;
      continue;
    }
    // A part made by an edit has no member yet: it becomes a new member named after it.
    const char* member = part->name;
    if (document && document->extra && document->extra->kind == kExtraPartName)
      member = static_cast<extraDataFileName*>(document->extra)->entryName;
    if (!member) return notSavable;
    // A part nothing changed since the load keeps its member byte for byte.
    const zipEntry* entry = list.findEntry(member);
    if (!part->edited && entry && (entry->dataReleased || !entry->data.empty())) continue;
    const DocumentError written = writePart(list, member, document);
    if (written != DocumentError::kNone) return PackageFailure::ofDocument(written);
  }
  return PackageFailure{archiveFailure(list.writeArchive(path, expected))};
}

}  // namespace

PackageFailure saveCuixPackage(const char* path, xmlNode* root,
                               const platform::FileIdentity* expected) {
  try {
    return writePackage(path, root, expected);
  } catch (const std::bad_alloc&) {
    return PackageFailure{PackageError::kOutOfMemory};
  }
}
