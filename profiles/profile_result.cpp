#include "profiles/profile_result.h"

namespace {

struct ResultNames {
  ProfileResult result;
  const char* name;
  const char* text;
};

const ResultNames kNames[] = {
    {ProfileResult::kAdded, "added", "přidáno"},
    {ProfileResult::kRemoved, "removed", "odebráno"},
    {ProfileResult::kAlreadyAsAsked, "unchanged", "beze změny, už bylo jak požadováno"},
    {ProfileResult::kHostNotFound, "host-not-found", "instalace AutoCADu LT nebyla nalezena"},
    {ProfileResult::kUnknownRelease, "unknown-release", "neznámá verze AutoCADu LT"},
    {ProfileResult::kProfileNameTooLong, "profile-name-too-long", "název profilu je příliš dlouhý"},
    {ProfileResult::kNoMenuFileValue, "no-menu-file-value",
     "profil neuvádí soubor nabídek (hodnota MenuFile)"},
    {ProfileResult::kNoMenusKey, "no-menus-key", "profil nemá v registru klíč Menus"},
    {ProfileResult::kPathTooLong, "path-too-long", "cesta je příliš dlouhá"},
    {ProfileResult::kRelativePath, "relative-path", "cesta k souboru nabídek není úplná"},
    {ProfileResult::kFileMissing, "file-missing", "soubor nabídek neexistuje"},
    {ProfileResult::kNotRegularFile, "not-regular-file", "soubor nabídek není obyčejný soubor"},
    {ProfileResult::kReadFailed, "read-failed", "soubor nabídek nelze přečíst"},
    {ProfileResult::kMalformedDocument, "malformed-document", "soubor nabídek je poškozený"},
    {ProfileResult::kMalformedPackage, "malformed-package", "balík nabídek je poškozený"},
    {ProfileResult::kFileTooLarge, "file-too-large", "soubor nabídek je příliš velký"},
    {ProfileResult::kBadCrc, "bad-crc",
     "balík nabídek je poškozený: kontrolní součet části nesouhlasí"},
    {ProfileResult::kAmbiguousPart, "ambiguous-part", "balík nabídek obsahuje tutéž část dvakrát"},
    {ProfileResult::kDamagedArchive, "damaged-archive", "balík nabídek je poškozený nebo neúplný"},
    {ProfileResult::kUnsupportedCompression, "unsupported-compression",
     "balík nabídek používá nepodporovanou kompresi nebo šifrování"},
    {ProfileResult::kNoNamedWorkspace, "no-named-workspace",
     "soubor nabídek nemá žádný pojmenovaný pracovní prostor"},
    {ProfileResult::kMergeFailed, "merge-failed", "úpravu souboru nabídek nelze dokončit"},
    {ProfileResult::kBackupFailed, "backup-failed", "zálohu souboru nabídek nelze vytvořit"},
    {ProfileResult::kReadOnly, "read-only", "soubor nebo klíč registru je jen pro čtení"},
    {ProfileResult::kChangedDuringRun, "changed-during-run", "soubor nabídek se během běhu změnil"},
    {ProfileResult::kRegistryFailed, "registry-failed", "registr nelze přečíst ani zapsat"},
    {ProfileResult::kHostRunning, "host-running",
     "AutoCAD LT je spuštěn. Ukončete ho a zkuste to znovu."},
    {ProfileResult::kOutOfMemory, "out-of-memory", "nedostatek paměti"},
    {ProfileResult::kSaveFailed, "save-failed", "soubor nabídek nelze uložit"},
    {ProfileResult::kUserUnreachable, "user-unreachable", "registr uživatele nelze otevřít"},
    {ProfileResult::kMovedReference, "moved-reference", "odkaz na doplněk vede do jiné složky"},
    {ProfileResult::kInvalidPath, "invalid-path", "cesta obsahuje řídicí znaky nebo neplatný text"},
    {ProfileResult::kNetworkPath, "network-path",
     "síťová cesta uživatele se při běhu pro všechny uživatele neotevírá"},
    {ProfileResult::kNotUsersFile, "not-users-file",
     "soubor nabídek nepatří uživateli, který ho uvádí"},
    {ProfileResult::kOwnerNotKept, "owner-not-kept",
     "soubor nabídek by ztratil svého vlastníka nebo skupinu"},
    {ProfileResult::kAnotherRun, "another-run", "právě běží jiné spuštění Norvex Express"},
    {ProfileResult::kHiveNotUnloaded, "hive-not-unloaded",
     "registr uživatele zůstal načtený; spusťte program znovu, nebo restartujte počítač dřív, "
     "než se uživatel přihlásí"},
    {ProfileResult::kBackupOwnerNotKept, "backup-owner-not-kept",
     "záloha souboru nabídek nemá vlastníka původního souboru"},
    {ProfileResult::kSettingsMissing, "settings-missing",
     "chybí nastavení Norvex Express v registru počítače (AcadPathReg)"},
    {ProfileResult::kNoProfiles, "no-profiles",
     "AutoCAD LT nemá pro uživatele žádný profil; ještě nebyl spuštěn"},
    {ProfileResult::kSystemAccount, "system-account",
     "účet SYSTEM nemá vlastní profily AutoCADu LT; spusťte s --all-users"},
    {ProfileResult::kRetryAtLogon, "retry-at-logon", "dokončí se při příštím přihlášení uživatele"},
};

const ResultNames* find(ProfileResult result) {
  for (const ResultNames& entry : kNames)
    if (entry.result == result) return &entry;
  return nullptr;
}

}  // namespace

const char* profileResultName(ProfileResult result) {
  const ResultNames* entry = find(result);
  return entry ? entry->name : "unknown";
}

const char* profileResultText(ProfileResult result) {
  const ResultNames* entry = find(result);
  return entry ? entry->text : "neznámý výsledek";
}

const char* profileStateName(ProfileState state) {
  switch (state) {
    case ProfileState::kPresent:
      return "present";
    case ProfileState::kAbsent:
      return "absent";
    case ProfileState::kPartial:
      return "partial";
    case ProfileState::kError:
      break;
  }
  return "error";
}
