// The result of one profile's add, remove or status look-up, with its reason. Each value is
// named here once: a stable English token for scripts and logs and a Czech description for
// people. The texts are static; nobody frees them.
#pragma once

#include <string>

// What a run does to a profile: add the add-on, remove it, or only look.
enum class ProfileMode { kAdd, kRemove, kStatus };

enum class ProfileResult {
  kAdded,
  kRemoved,
  kAlreadyAsAsked,
  kHostNotFound,        // the program's settings or the host's roaming folder are missing
  kUnknownRelease,      // the product key names no release
  kProfileNameTooLong,  // the name does not fit the registry's buffers
  kNoMenuFileValue,
  kNoMenusKey,  // an old release's profile without its Menus key
  kPathTooLong,
  kRelativePath,
  kFileMissing,
  kNotRegularFile,
  kReadFailed,
  kMalformedDocument,
  kMalformedPackage,        // a package's archive reads, but holds no member
  kFileTooLarge,            // the menu file, or a member of its package, is too large to read
  kBadCrc,                  // a package member's data does not match its CRC-32
  kAmbiguousPart,           // two members of a package are the same part
  kDamagedArchive,          // a package's archive cannot be read as it is: damaged or cut short
  kUnsupportedCompression,  // a package member compressed otherwise, or encrypted
  kNoNamedWorkspace,
  kMergeFailed,  // the edit did not reach what was asked; nothing was saved
  kBackupFailed,
  kReadOnly,
  kChangedDuringRun,
  kRegistryFailed,
  kHostRunning,
  kOutOfMemory,
  kSaveFailed,
  kUserUnreachable,     // the user's registry hive cannot be loaded or opened
  kMovedReference,      // a status: the add-on is referenced in another folder than its own
  kInvalidPath,         // a control character, or text the code page cannot hold, in a path
  kNetworkPath,         // another user's path names a network share
  kNotUsersFile,        // another user's menu file is not one that user may write
  kOwnerNotKept,        // the replacement could not be given the file's owner and group
  kAnotherRun,          // another run holds the machine-wide lock
  kHiveNotUnloaded,     // a user's registry hive loaded by the run stayed loaded
  kBackupOwnerNotKept,  // a note: the backup could not be given the original's owner
  kSettingsMissing,     // the program's own settings key or its values are missing
  kNoProfiles,          // the host's key is there, but it lists no profile
  kSystemAccount,       // LocalSystem's own registry has no host: --all-users was meant
  kRetryAtLogon,        // the run is left to the user's next logon
};

// Whether the profile is as asked after the operation (added, removed or already so).
inline bool profileResultDone(ProfileResult result) {
  return result == ProfileResult::kAdded || result == ProfileResult::kRemoved ||
         result == ProfileResult::kAlreadyAsAsked;
}
// "added", "file-missing", ...; never empty.
const char* profileResultName(ProfileResult result);
// The Czech description, in UTF-8.
const char* profileResultText(ProfileResult result);

// What --status finds in one profile.
enum class ProfileState { kPresent, kAbsent, kPartial, kError };
const char* profileStateName(ProfileState state);

// The outcome of one profile: the result, and the file or registry key it was about (empty
// when the look-up stopped before one was known).
struct ProfileReport {
  ProfileResult result = ProfileResult::kHostNotFound;
  ProfileState state = ProfileState::kError;  // filled by status look-ups only
  // Why a status look-up found the add-on partial, where it can tell; kAlreadyAsAsked for none.
  ProfileResult reason = ProfileResult::kAlreadyAsAsked;
  std::string target;
  // A save that lost the file's name: the new file that holds the content instead.
  std::string leftFile;
};
