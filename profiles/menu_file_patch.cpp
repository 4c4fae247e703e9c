#include "profiles/menu_file_patch.h"

#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "document/xml_file.h"
#include "edits/edit_run.h"
#include "edits/element_search.h"
#include "edits/menu_merge.h"
#include "package/customization_file.h"
#include "platform/ascii_text.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_access.h"
#include "platform/file_read.h"
#include "platform/safe_file.h"
#include "profiles/customization_failure.h"
#include "profiles/host_profiles.h"
#include "profiles/registry_key.h"

namespace {

using platform::lowerAscii;

const char kMenuGroup[] = "NORVEX_EXPRESS";
const char* const kToolbarIds[] = {"ID_Express", "TBU_0003", "TBU_0005",
                                   "TBU_0007",   "TBU_0009", "TBU_0011"};
const int kToolbarPositions[] = {70, 112, 200, 112, 580, 172, 70, 172, 741, 112, 462, 112};
constexpr int kToolbarCount = 6;

// Why a step of the update failed; none when the update goes on.
using Failure = std::optional<ProfileResult>;

bool endsWithIgnoreCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         platform::equalsIgnoringAsciiCase(
             std::string_view(text).substr(text.size() - suffix.size()), suffix);
}

// The profile's MenuFile value, as the registry holds it.
Failure readMenuFileValue(platform::Registry& registry, const std::string& productKey,
                          const char* profile, int platformFlag, std::string* menuFile,
                          std::string* keyPath) {
  std::string path = productKey + "\\Profiles\\" + profile + "\\General Configuration";
  *keyPath = "HKEY_CURRENT_USER\\" + path;
  if (path.size() >= kKeyPathSize) return ProfileResult::kPathTooLong;
  RegistryKey key(registry, platform::RegRoot::kCurrentUser, path,
                  platform::kKeyRead | hostView(platformFlag));
  if (!key.isOpen()) return ProfileResult::kNoMenuFileValue;
  if (readStringValue(registry, key.get(), "MenuFile", kKeyPathSize, menuFile))
    return menuFile->empty() ? Failure(ProfileResult::kNoMenuFileValue) : std::nullopt;
  // A value there, but longer than any path the buffer takes.
  std::uint32_t size = 0;
  return registry.queryValue(key.get(), "MenuFile", nullptr, nullptr, &size) ==
                     platform::kErrorSuccess &&
                 size >= kKeyPathSize
             ? ProfileResult::kPathTooLong
             : ProfileResult::kNoMenuFileValue;
}

// The menu file a profile names, and the add-on's reference in the document's form.
struct MenuFileTarget {
  std::string menuFile;
  std::string documentPath;
};

// report->target names what was looked at.
Failure resolveMenuFile(platform::Registry& registry, const std::string& productKey,
                        const std::string& supportBasePath, const char* profile, int platformFlag,
                        const char* extension, const platform::UserEnvironment* environment,
                        MenuFileTarget* target, ProfileReport* report) {
  std::string& menuFile = target->menuFile;
  if (Failure read = readMenuFileValue(registry, productKey, profile, platformFlag, &menuFile,
                                       &report->target))
    return read;
  report->target = menuFile;
  if (!endsWithIgnoreCase(menuFile, extension)) menuFile += extension;
  if (menuFile.size() >= kKeyPathSize) return ProfileResult::kPathTooLong;
  if (environment) {
    // Another user's paths, in that user's environment.
    std::string expanded = environment->expand(menuFile);
    if (expanded.size() >= kValueSize) return ProfileResult::kPathTooLong;
    menuFile = expanded;
  } else {
    std::vector<char> expanded(kValueSize);
    std::uint32_t count = platform::expandEnvironmentStrings(
        menuFile.c_str(), expanded.data(), static_cast<std::uint32_t>(kValueSize));
    if (count > kValueSize) return ProfileResult::kPathTooLong;
    if (count != 0) menuFile = expanded.data();
  }
  report->target = menuFile;
  if (menuFile.size() >= kKeyPathSize) return ProfileResult::kPathTooLong;
  if (environment && platform::isNetworkPath(menuFile)) return ProfileResult::kNetworkPath;
  // A relative path would name a file in whatever folder the caller happens to run in.
  if (!platform::isAbsolutePath(menuFile)) return ProfileResult::kRelativePath;

  std::string partialPath = lowerAscii(supportBasePath);
  if (!endsWithIgnoreCase(partialPath, extension)) partialPath += extension;
  if (!ansiToDocumentText(partialPath, platform::kCodePageUtf8, &target->documentPath))
    return ProfileResult::kInvalidPath;
  return std::nullopt;
}

// Opens the menu file once for the whole update and pins it, so that every read of it (the
// loads and the backup) comes from the file checked here. In a run for another user (with an
// environment) the file must be one that user may write.
Failure openMenuFile(const std::string& menuFile, const platform::UserEnvironment* environment,
                     platform::OpenedFile* opened, platform::FileIdentity* loaded) {
  const platform::FileReadResult read = opened->open(menuFile);
  if (read != platform::FileReadResult::kRead)
    return customizationFailure(PackageFailure::ofDocument(fileReadFailure(read)));
  if (environment &&
      !opened->writableBy(environment->userSid(), environment->expand("%USERPROFILE%")))
    return ProfileResult::kNotUsersFile;
  opened->pin();
  *loaded = opened->identity();
  return std::nullopt;
}

// Why a save failed. Where the write itself failed, the file tells whether its mode or its owner
// made the replace fail.
ProfileResult saveFailure(const std::string& menuFile, const PackageFailure& failure) {
  const ProfileResult result = customizationFailure(failure);
  if (result != ProfileResult::kSaveFailed) return result;
  if (platform::isReadOnlyFile(menuFile)) return ProfileResult::kReadOnly;
  return platform::canKeepOwner(menuFile) ? ProfileResult::kSaveFailed
                                          : ProfileResult::kOwnerNotKept;
}

AddOnContent addOnContent(xmlNode* document, const std::string& partialPath) {
  return findAddOnContent(document, partialPath.c_str(), kMenuGroup, kToolbarIds, kToolbarCount);
}

// Whether the document holds what the mode asks for, in every named workspace: an add needs a
// document with a named workspace, since one without can take no toolbars.
bool holdsWhatModeAsks(xmlNode* document, const std::string& partialPath, ProfileMode mode) {
  const AddOnContent content = addOnContent(document, partialPath);
  return mode == ProfileMode::kAdd ? content.complete(kToolbarCount) : content.absent();
}

// The profile's document, read as far as a decision needs: of a package only the parts the
// edits read. Such a package cannot be saved.
xmlNodeHolder loadForDecision(const std::string& menuFile, PackageFailure* failure) {
  return xmlNodeHolder(loadDocument(menuFile.c_str(), packageReadingForDecision(), failure));
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
// kept; one made by this run is removed again unless the change it stands for was saved, or
// the file's own name is gone and the copy may be all that is left of it.
class Backup {
 public:
  explicit Backup(const platform::OpenedFile& menuFile)
      : menuFile_(menuFile), path_(backupPathFor(menuFile.path())) {}
  ~Backup() {
    platform::FileIdentity original;
    if (made_ && !kept_ &&
        platform::readFileIdentity(menuFile_.path(), &original) == platform::FileReadResult::kRead)
      platform::removeFile(path_);
  }
  Backup(const Backup&) = delete;
  Backup& operator=(const Backup&) = delete;

  // Whether a copy stands or can be made at the copy's name, without making it.
  bool possible() const {
    platform::FileIdentity existing;
    platform::FileReadResult read = platform::readFileIdentity(path_, &existing);
    // A link that leads nowhere is missing to a read, but stands at the name all the same.
    return read == platform::FileReadResult::kRead ||
           (read == platform::FileReadResult::kMissing && !platform::nameTaken(path_));
  }
  bool make() {
    platform::FileIdentity existing;
    switch (platform::readFileIdentity(path_, &existing)) {
      case platform::FileReadResult::kRead:
        return true;
      case platform::FileReadResult::kMissing:
        if (platform::nameTaken(path_)) return false;
        made_ = platform::copyOpenedFile(menuFile_, path_);
        return made_;
      default:
        return false;  // something that is no file stands at the copy's name
    }
  }
  void keep() { kept_ = true; }
  // Whether this run made the copy and could not give it the original's owner.
  bool ownerLost() const { return made_ && !platform::sameOwner(menuFile_.path(), path_); }

 private:
  const platform::OpenedFile& menuFile_;
  std::string path_;
  bool made_ = false;
  bool kept_ = false;
};

ProfileResult patchMenuFile(platform::Registry& registry, EditRun& run,
                            const std::string& productKey, const std::string& supportBasePath,
                            const char* profile, ProfileMode mode, int platformFlag,
                            const char* extension, bool dryRun, ProfileReport* report,
                            const platform::UserEnvironment* environment) {
  MenuFileTarget target;
  if (Failure resolved = resolveMenuFile(registry, productKey, supportBasePath, profile,
                                         platformFlag, extension, environment, &target, report))
    return *resolved;
  const std::string& menuFile = target.menuFile;
  const std::string& documentPath = target.documentPath;

  // Taken before the load: a save by anybody from here on makes the save below fail. It also
  // refuses devices, pipes and folders before anything opens them.
  platform::FileIdentity loaded;
  platform::OpenedFile opened;
  if (Failure found = openMenuFile(menuFile, environment, &opened, &loaded)) return *found;
  // A profile that already is as asked is only read: nothing is written and nothing checked
  // beyond what the decision reads. A plain file is read whole either way.
  PackageFailure failure;
  xmlNodeHolder document = loadForDecision(menuFile, &failure);
  if (!document) return customizationFailure(failure);
  if (holdsWhatModeAsks(document.get(), documentPath, mode)) return ProfileResult::kAlreadyAsAsked;
  if (isPackagePath(menuFile.c_str())) {
    document.reset();
    document.reset(loadDocument(menuFile.c_str(), packageReadingForEdits(), &failure));
    if (!document) return customizationFailure(failure);
  }
  if (platform::equalsIgnoringAsciiCase(extension, ".CUIX")) setFormatVersion(run, 18, 0);
  scanIdentifiers(run, document.get());
  mergeMenuGroup(run, document.get(), nullptr, documentPath.c_str(), kMenuGroup, kToolbarIds,
                 kToolbarPositions, kToolbarCount, mode == ProfileMode::kRemove);
  // The reference goes even from a document whose workspaces have no name.
  if (mode == ProfileMode::kRemove) removePartialMenu(document.get(), documentPath.c_str());
  // A merge that did not reach what was asked is not saved: the file stays as it was.
  if (!holdsWhatModeAsks(document.get(), documentPath, mode))
    return mode == ProfileMode::kAdd && !findWorkspace(document.get(), nullptr)
               ? ProfileResult::kNoNamedWorkspace
               : ProfileResult::kMergeFailed;
  // Already as asked: nothing is written, and no copy is made.
  if (!documentEdited(document.get())) return ProfileResult::kAlreadyAsAsked;
  const ProfileResult done =
      mode == ProfileMode::kAdd ? ProfileResult::kAdded : ProfileResult::kRemoved;
  if (platform::isReadOnlyFile(menuFile)) return ProfileResult::kReadOnly;
  // A file that would change hands is left as it is.
  if (!platform::canKeepOwner(menuFile)) return ProfileResult::kOwnerNotKept;
  // The backup and the new files beside it have longer names than the file: a path the system
  // cannot take fails here, before anything is written.
  if (backupPathFor(menuFile).size() + platform::kNewNameExtra > platform::maxPathLength())
    return ProfileResult::kPathTooLong;
  Backup backup(opened);
  if (dryRun) return backup.possible() ? done : ProfileResult::kBackupFailed;
  if (!backup.make()) return ProfileResult::kBackupFailed;
  // Said in the log, whatever the save gives: the user may lack access to the copy.
  if (backup.ownerLost()) report->reason = ProfileResult::kBackupOwnerNotKept;
  opened.close();  // the replacement must find the file unopened
  failure = saveDocument(menuFile.c_str(), document.get(), &loaded);
  if (failure.failed()) {
    // The replace took the file's name and the new file could not be given it: both the new
    // file and the backup stay.
    report->leftFile = platform::takeLeftNewFile(menuFile);
    if (!report->leftFile.empty()) {
      backup.keep();
      return ProfileResult::kSaveFailed;
    }
    return saveFailure(menuFile, failure);
  }
  backup.keep();
  return done;
}

// What of the add-on a profile's document holds.
ProfileResult menuFileStatus(platform::Registry& registry, const std::string& productKey,
                             const std::string& supportBasePath, const char* profile,
                             int platformFlag, const char* extension, ProfileReport* report,
                             const platform::UserEnvironment* environment) {
  MenuFileTarget target;
  if (Failure resolved = resolveMenuFile(registry, productKey, supportBasePath, profile,
                                         platformFlag, extension, environment, &target, report))
    return *resolved;
  platform::FileIdentity loaded;
  platform::OpenedFile opened;
  if (Failure found = openMenuFile(target.menuFile, environment, &opened, &loaded)) return *found;
  PackageFailure failure;
  xmlNodeHolder document = loadForDecision(target.menuFile, &failure);
  if (!document) return customizationFailure(failure);
  const AddOnContent content = addOnContent(document.get(), target.documentPath);
  if (content.complete(kToolbarCount))
    report->state = ProfileState::kPresent;
  else if (content.absent())
    report->state = ProfileState::kAbsent;
  else
    report->state = ProfileState::kPartial;
  if (content.references > 0 && !content.firstNamesPath)
    report->reason = ProfileResult::kMovedReference;
  return ProfileResult::kAlreadyAsAsked;
}

}  // namespace

std::string backupPathFor(const std::string& menuFile) {
  return menuFile + ".norvex-express.bak";
}

ProfileResult PatchMenuFile(platform::Registry& registry, EditRun& run,
                            const std::string& productKey, const std::string& supportBasePath,
                            const char* profile, ProfileMode mode, int platformFlag,
                            const char* extension, bool dryRun, ProfileReport* report,
                            const platform::UserEnvironment* environment) {
  // Memory that runs out fails this profile only; what it made is gone with the unwinding.
  try {
    return patchMenuFile(registry, run, productKey, supportBasePath, profile, mode, platformFlag,
                         extension, dryRun, report, environment);
  } catch (const std::bad_alloc&) {
    return ProfileResult::kOutOfMemory;
  }
}

ProfileResult MenuFileStatus(platform::Registry& registry, const std::string& productKey,
                             const std::string& supportBasePath, const char* profile,
                             int platformFlag, const char* extension, ProfileReport* report,
                             const platform::UserEnvironment* environment) {
  try {
    return menuFileStatus(registry, productKey, supportBasePath, profile, platformFlag, extension,
                          report, environment);
  } catch (const std::bad_alloc&) {
    return ProfileResult::kOutOfMemory;
  }
}
