#include "profiles/menu_file_patch.h"

#include <memory>
#include <new>
#include <vector>

#include "document/xml_file.h"
#include "edits/element_search.h"
#include "edits/menu_merge.h"
#include "package/customization_file.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_read.h"
#include "platform/safe_file.h"
#include "profiles/host_profiles.h"

namespace {

const char kMenuGroup[] = "NORVEX_EXPRESS";
const char* const kToolbarIds[] = {"ID_Express", "TBU_0003", "TBU_0005",
                                   "TBU_0007",   "TBU_0009", "TBU_0011"};
const int kToolbarPositions[] = {70, 112, 200, 112, 580, 172, 70, 172, 741, 112, 462, 112};
constexpr int kToolbarCount = 6;

struct DocumentDeleter {
  void operator()(xmlNode* node) const { destroyNode(node); }
};

bool endsWithIgnoreCase(const std::string& text, const char* suffix) {
  std::string tail(suffix);
  return text.size() >= tail.size() &&
         equalsIgnoreCase(text.c_str() + text.size() - tail.size(), suffix);
}

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

bool readMenuFileValue(platform::Registry& registry, const std::string& productKey,
                       const char* profile, int platformFlag, std::string* menuFile) {
  std::string path = productKey + "\\Profiles\\" + profile + "\\General Configuration";
  if (path.size() >= kKeyPathSize) return false;
  platform::RegKey key;
  if (registry.openKey(platform::RegRoot::kCurrentUser, path.c_str(),
                       platform::kKeyRead | hostView(platformFlag),
                       &key) != platform::kErrorSuccess)
    return false;
  bool ok = readStringValue(registry, key, "MenuFile", kKeyPathSize, menuFile);
  registry.closeKey(key);
  return ok && !menuFile->empty();
}

// Whether the document now holds what the mode asked for, in every named workspace. A
// document without a named workspace can take no toolbars, but holds no add-on either.
bool verifyMerge(xmlNode* document, const std::string& partialPath, int mode) {
  xmlNode* first = findWorkspace(document, nullptr);
  if (!first && mode == kModeAdd) return false;
  // An add needs the full reference; after a remove not even the bare file name may stay.
  if (holdsPartialMenu(document, partialPath.c_str(), mode == kModeRemove) != (mode == kModeAdd))
    return false;
  for (xmlNode* workspace = first; workspace; workspace = findNextNamed(workspace, "Workspace")) {
    if (!workspaceName(workspace)) continue;
    for (const char* id : kToolbarIds)
      if ((findToolbarEntry(workspace, kMenuGroup, id) != nullptr) != (mode == kModeAdd))
        return false;
  }
  return true;
}

// Whether an edit changed the document: any of its top-level nodes, or of a package's parts
// (the package root itself is marked by the load that links the parts to it).
bool documentEdited(xmlNode* document) {
  xmlNode* first = isPackageDocument(document) ? topNode(document)->firstChild : document;
  for (const xmlNode* node = first; node; node = node->next)
    if (node->edited) return true;
  return false;
}

// The copy of the file as it was before the program first changed it. An existing copy is
// kept; one made by this run is removed again unless the change it stands for was saved.
class Backup {
 public:
  explicit Backup(const std::string& menuFile)
      : menuFile_(menuFile), path_(backupPathFor(menuFile)) {}
  ~Backup() {
    if (made_ && !kept_) platform::removeFile(path_);
  }
  Backup(const Backup&) = delete;
  Backup& operator=(const Backup&) = delete;

  bool make() {
    platform::FileIdentity existing;
    switch (platform::readFileIdentity(path_, &existing)) {
      case platform::FileReadResult::kRead:
        return true;
      case platform::FileReadResult::kMissing:
        made_ = platform::copyFileSafely(menuFile_, path_);
        return made_;
      default:
        return false;  // something that is no file stands at the copy's name
    }
  }
  void keep() { kept_ = true; }

 private:
  const std::string& menuFile_;
  std::string path_;
  bool made_ = false;
  bool kept_ = false;
};

bool patchMenuFile(platform::Registry& registry, EditRun& run, const std::string& productKey,
                   const std::string& supportBasePath, const char* profile, int mode,
                   int platformFlag, const char* extension) {
  std::string menuFile;
  if (!readMenuFileValue(registry, productKey, profile, platformFlag, &menuFile)) return false;
  if (!endsWithIgnoreCase(menuFile, extension)) menuFile += extension;
  if (menuFile.size() >= kKeyPathSize) return false;
  std::vector<char> expanded(kValueSize);
  std::uint32_t count = platform::expandEnvironmentStrings(menuFile.c_str(), expanded.data(),
                                                           static_cast<std::uint32_t>(kValueSize));
  if (count > kValueSize) return false;
  if (count != 0) menuFile = expanded.data();
  if (menuFile.size() >= kKeyPathSize) return false;
  // A relative path would name a file in whatever folder the caller happens to run in.
  if (!platform::isAbsolutePath(menuFile)) return false;

  std::string partialPath = lowerAscii(supportBasePath);
  if (!endsWithIgnoreCase(partialPath, extension)) partialPath += extension;
  std::string documentPath;
  if (!ansiToDocumentText(partialPath, platform::kCodePageUtf8, &documentPath)) return false;

  // Taken before the load: a save by anybody from here on makes the save below fail. It also
  // refuses devices, pipes and folders before anything opens them.
  platform::FileIdentity loaded;
  if (platform::readFileIdentity(menuFile, &loaded) != platform::FileReadResult::kRead)
    return false;
  std::unique_ptr<xmlNode, DocumentDeleter> document(
      loadDocument(menuFile.c_str(), platform::kCodePageUtf8));
  if (!document) return false;
  if (equalsIgnoreCase(extension, ".CUIX")) setFormatVersion(run, 18, 0);
  scanIdentifiers(run, document.get());
  checkTree(document.get());
  mergeMenuGroup(run, document.get(), nullptr, documentPath.c_str(), kMenuGroup, kToolbarIds,
                 kToolbarPositions, kToolbarCount, mode == kModeRemove);
  // The reference goes even from a document whose workspaces have no name.
  if (mode == kModeRemove) removePartialMenu(document.get(), documentPath.c_str());
  checkTree(document.get());
  // A merge that did not reach what was asked is not saved: the file stays as it was.
  if (!verifyMerge(document.get(), documentPath, mode)) return false;
  // Already as asked: nothing is written, and no copy is made.
  if (!documentEdited(document.get())) return true;
  Backup backup(menuFile);
  if (!backup.make()) return false;
  if (saveDocument(menuFile.c_str(), document.get(), platform::kCodePageUtf8, &loaded) != 0)
    return false;
  backup.keep();
  return true;
}

}  // namespace

std::string backupPathFor(const std::string& menuFile) {
  return menuFile + ".norvex-express.bak";
}

bool PatchMenuFile(platform::Registry& registry, EditRun& run, const std::string& productKey,
                   const std::string& supportBasePath, const char* profile, int mode,
                   int platformFlag, const char* extension) {
  // Memory that runs out fails this profile only; what it made is gone with the unwinding.
  try {
    return patchMenuFile(registry, run, productKey, supportBasePath, profile, mode, platformFlag,
                         extension);
  } catch (const std::bad_alloc&) {
    return false;
  }
}
