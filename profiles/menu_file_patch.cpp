#include "profiles/menu_file_patch.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "document/xml_file.h"
#include "edits/element_search.h"
#include "edits/menu_merge.h"
#include "package/customization_file.h"
#include "platform/code_page.h"
#include "platform/environment.h"
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

// Whether the document now holds what the mode asked for, in every named workspace.
bool verifyMerge(xmlNode* document, const std::string& partialPath, int mode) {
  xmlNode* first = findWorkspace(document, nullptr);
  if (!first) return false;
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

bool readFile(const std::string& path, std::string* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// Keeps the file as it was before the program first changed it; an existing copy stays.
// made tells whether this call wrote the copy.
bool keepBackup(const std::string& menuFile, bool* made) {
  *made = false;
  std::string backup = backupPathFor(menuFile);
  if (std::FILE* existing = std::fopen(backup.c_str(), "rb")) {
    std::fclose(existing);
    return true;
  }
  std::string bytes;
  *made = readFile(menuFile, &bytes) &&
          platform::replaceFileContents(backup, bytes.data(), bytes.size());
  return *made;
}

}  // namespace

std::string backupPathFor(const std::string& menuFile) {
  return menuFile + ".norvex-express.bak";
}

bool PatchMenuFile(platform::Registry& registry, EditRun& run, const std::string& productKey,
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

  std::string partialPath = lowerAscii(supportBasePath);
  if (!endsWithIgnoreCase(partialPath, extension)) partialPath += extension;
  std::string documentPath;
  if (!ansiToDocumentText(partialPath, platform::kCodePageUtf8, &documentPath)) return false;

  std::unique_ptr<xmlNode, DocumentDeleter> document(
      loadDocument(menuFile.c_str(), platform::kCodePageUtf8));
  if (!document) return false;
  if (equalsIgnoreCase(extension, ".CUIX")) setFormatVersion(run, 18, 0);
  scanIdentifiers(run, document.get());
  checkTree(document.get());
  mergeMenuGroup(run, document.get(), nullptr, documentPath.c_str(), kMenuGroup, kToolbarIds,
                 kToolbarPositions, kToolbarCount, mode == kModeRemove);
  checkTree(document.get());
  // A merge that did not reach what was asked is not saved: the file stays as it was.
  if (!verifyMerge(document.get(), documentPath, mode)) return false;
  bool madeBackup = false;
  if (!keepBackup(menuFile, &madeBackup)) return false;
  if (saveDocument(menuFile.c_str(), document.get(), platform::kCodePageUtf8) == 0) return true;
  // The file is as it was, so a copy made just now would only stand for a change never made.
  if (madeBackup) platform::removeFile(backupPathFor(menuFile));
  return false;
}
