#include "profiles/menu_file_patch.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "package/zip_entry.h"
#include "platform/registry_file.h"
#include "platform/safe_file.h"
#include "profiles/host_profiles.h"
#include "tests/support/file_faults.h"
#include "tests/support/registry_text.h"
#include "tests/support/test_files.h"

namespace {

const char kProduct[] = "Software\\Test\\Host\\R18\\HOST-1:405";
const char kFile[] =
    "<?xml version=\"1.0\"?>\r\n<CustSection><Header><WorkspaceRoot><Workspace UID=\"WS_1\">"
    "<Name>A</Name><WSToolbarRoot><WSToolbar MenuGroup=\"X\" pUID=\"T\" UID=\"WSTU_9\" />"
    "</WSToolbarRoot></Workspace></WorkspaceRoot></Header></CustSection>\r\n";

using test_support::registryEscaped;

const char kHeaderPart[] =
    "<CustSection><Header><CommonConfiguration><CommonItems />"
    "</CommonConfiguration></Header></CustSection>";
const char kWorkspacePart[] =
    "<WorkspaceRoot><Workspace><Name>A</Name></Workspace></WorkspaceRoot>";

// A package of deflated members with the given names and texts.
bool writePackage(const std::string& path,
                  std::initializer_list<std::pair<const char*, std::string>> members) {
  zipEntryList package;
  for (const auto& [name, data] : members) {
    zipEntry member;
    member.name = name;
    member.info.compressionMethod = 8;
    member.data.assign(data.begin(), data.end());
    package.appendEntry(std::move(member));
  }
  return package.writeArchive(path.c_str()) == ZipError::kNone;
}

using test_support::readFile;
using test_support::writeFile;

class MenuFilePatch : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nvx-patch-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  bool patch(const std::string& menuFile, ProfileMode mode, const char* extension = ".CUI") {
    return profileResultDone(result(menuFile, mode, false, extension));
  }

  ProfileResult result(const std::string& menuFile, ProfileMode mode, bool dryRun,
                       const char* extension = ".CUI", ProfileReport* report = nullptr) {
    auto registry = platform::RegistryFile::fromText(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
        registryEscaped(kProduct) + "\\Profiles\\P\\General Configuration]\r\n\"MenuFile\"=\"" +
        registryEscaped(menuFile) + "\"\r\n");
    ProfileReport own;
    return PatchMenuFile(*registry, run_, kProduct, "C:\\Support\\Norvex_Express", "P", mode, 0,
                         extension, dryRun, report ? report : &own);
  }

  // Every file of the folder with its bytes.
  std::vector<std::string> snapshot() {
    std::vector<std::string> files;
    for (const std::string& name : test_support::folderNames(dir_)) {
      struct stat info;
      bool file = stat((dir_ + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
      files.push_back(name + "=" + (file ? readFile(dir_ + "/" + name) : "(folder)"));
    }
    return files;
  }

  std::string dir_;
  EditRun run_;
};

TEST_F(MenuFilePatch, BackupIsTheFileBeforeTheFirstChangeOnly) {
  const std::string path = dir_ + "/main.CUI";
  writeFile(path, kFile);
  ASSERT_TRUE(patch(dir_ + "/main", ProfileMode::kAdd));
  const std::string added = readFile(path);
  EXPECT_NE(added.find("c:\\support\\norvex_express.CUI</PartialMenuFile>"), std::string::npos);
  EXPECT_NE(added.find("UID=\"WSTU_10\""), std::string::npos);
  EXPECT_EQ(readFile(backupPathFor(path)), kFile);
  ASSERT_TRUE(patch(path, ProfileMode::kRemove));
  ASSERT_TRUE(patch(path, ProfileMode::kAdd));
  EXPECT_EQ(readFile(backupPathFor(path)), kFile);
  EXPECT_NE(readFile(path).find("UID=\"WSTU_16\""), std::string::npos);  // counters carried on
}

// The menu file's name is swapped for a link to a secret while the backup is made, and put
// back before the save: the backup holds the bytes that were loaded, never the secret.
std::string racedFile;
void swapWithSecret(bool done) {
  if (!done) {
    rename(racedFile.c_str(), (racedFile + ".away").c_str());
    symlink((racedFile + ".secret").c_str(), racedFile.c_str());
  } else {
    rename((racedFile + ".away").c_str(), racedFile.c_str());
  }
}

TEST_F(MenuFilePatch, BackupComesFromTheFileLoadedAndNeverReplacesAName) {
  racedFile = dir_ + "/main.CUI";
  writeFile(racedFile, kFile);
  writeFile(racedFile + ".secret", "secret");
  platform::setCopyHook(swapWithSecret);
  EXPECT_EQ(result(racedFile, ProfileMode::kAdd, false), ProfileResult::kAdded);
  platform::setCopyHook(nullptr);
  EXPECT_EQ(readFile(backupPathFor(racedFile)), kFile);
  EXPECT_EQ(readFile(racedFile + ".secret"), "secret");
  // A link planted at the backup's name is neither followed nor replaced.
  const std::string other = dir_ + "/other.CUI", planted = dir_ + "/planted";
  writeFile(other, kFile);
  ASSERT_EQ(symlink(planted.c_str(), backupPathFor(other).c_str()), 0);
  EXPECT_EQ(result(other, ProfileMode::kAdd, false), ProfileResult::kBackupFailed);
  EXPECT_EQ(readFile(other), kFile);
  struct stat info;
  EXPECT_NE(lstat(planted.c_str(), &info), 0);
}

// The host saves the file after the load, while the backup is made: the save leaves the host's
// bytes, and the profile says why, for a plain file and a package alike.
std::string hostSaved;
void saveAsTheHost(bool done) {
  if (done) test_support::writeFile(hostSaved, "<CustSection />");
}

TEST_F(MenuFilePatch, AFileSavedMeanwhileIsLeftAsSaved) {
  for (const char* extension : {".CUI", ".CUIX"}) {
    hostSaved = dir_ + "/main" + extension;
    if (extension == std::string(".CUI"))
      writeFile(hostSaved, kFile);
    else
      ASSERT_TRUE(writePackage(
          hostSaved, {{"Header.cui", kHeaderPart}, {"WorkspaceRoot.cui", kWorkspacePart}}));
    platform::setCopyHook(saveAsTheHost);
    EXPECT_EQ(result(hostSaved, ProfileMode::kAdd, false, extension),
              ProfileResult::kChangedDuringRun);
    platform::setCopyHook(nullptr);
    EXPECT_EQ(readFile(hostSaved), "<CustSection />") << extension;
    EXPECT_EQ(test_support::folderNames(dir_),
              std::vector<std::string>{"main" + std::string(extension)});
    std::remove(hostSaved.c_str());
  }
}

TEST_F(MenuFilePatch, RefusesWhatDoesNotFitAndWhatCannotBeVerified) {
  writeFile(dir_ + "/main.CUI", kFile);
  setenv("NVX_PATCH_LONG", std::string(1100, 'x').c_str(), 1);
  setenv("NVX_PATCH_DIR", dir_.c_str(), 1);
  // Paths of 259 and 260 bytes once the extension is on, in folders of short names.
  std::string folder = dir_;
  while (folder.size() < 200) {
    folder += "/" + std::string(40, 'd');
    mkdir(folder.c_str(), 0700);
  }
  const std::string fits = folder + "/" + std::string(259 - folder.size() - 5, 'f');
  const std::string name = folder + "/" + std::string(260 - folder.size() - 5, 'n');
  writeFile(fits + ".CUI", kFile);
  writeFile(name + ".CUI", kFile);
  writeFile(dir_ + "/" + std::string(238, 'y') + ".CUI", kFile);
  EXPECT_TRUE(patch(fits, ProfileMode::kAdd));
  const std::string cases[] = {
      "",                                          // no value: nothing to patch
      dir_ + "/missing",                           // no file
      name,                                        // 260 bytes once the extension is on
      "%NVX_PATCH_LONG%/main",                     // expansion longer than its buffer
      "%NVX_PATCH_DIR%/" + std::string(238, 'y'),  // fits before expansion only
  };
  for (const std::string& menuFile : cases)
    EXPECT_FALSE(patch(menuFile, ProfileMode::kAdd)) << menuFile;
  EXPECT_EQ(readFile(name + ".CUI"), kFile);

  // A workspace without a name can take no toolbars: the add fails, while there is nothing to
  // remove. Neither saves nor makes a backup.
  const std::string unnamed =
      "<CustSection><Header><WorkspaceRoot><Workspace /></WorkspaceRoot></Header></CustSection>";
  writeFile(dir_ + "/unnamed.cui", unnamed);
  EXPECT_FALSE(patch(dir_ + "/unnamed.cui", ProfileMode::kAdd));
  EXPECT_TRUE(patch(dir_ + "/unnamed.cui", ProfileMode::kRemove));
  EXPECT_EQ(readFile(dir_ + "/unnamed.cui"), unnamed);
  EXPECT_NE(access(backupPathFor(dir_ + "/unnamed.cui").c_str(), F_OK), 0);

  // ".cui" with the package extension asks for "main.cui.CUIX", which is not there.
  EXPECT_FALSE(patch(dir_ + "/main.CUI", ProfileMode::kAdd, ".CUIX"));
  EXPECT_EQ(readFile(dir_ + "/main.CUI"), kFile);
  EXPECT_TRUE(patch("%NVX_PATCH_DIR%/main", ProfileMode::kRemove));
}

TEST_F(MenuFilePatch, OnlyAbsolutePathsOfRegularFilesAndNoWriteWithoutAChange) {
  const std::string path = dir_ + "/main.CUI";
  writeFile(path, kFile);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  // Nothing of the add-on there: the remove is done without writing or copying anything.
  EXPECT_TRUE(patch(path, ProfileMode::kRemove));
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(test_support::folderNames(dir_), std::vector<std::string>{"main.CUI"});

  // A relative path would be found in whatever folder the program runs in.
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  bool relative = patch("main", ProfileMode::kAdd);
  ASSERT_EQ(chdir(here), 0);
  EXPECT_FALSE(relative);
  EXPECT_EQ(readFile(path), kFile);

  // A pipe, a device and a folder fail at once instead of blocking or being read.
  ASSERT_EQ(mkfifo((dir_ + "/pipe.CUI").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir_ + "/folder.CUI").c_str(), 0700), 0);
  alarm(30);
  for (const std::string& odd : {dir_ + "/pipe", dir_ + "/folder", std::string("/dev/null")})
    EXPECT_FALSE(patch(odd, ProfileMode::kRemove)) << odd;
  alarm(0);
}

// The package's other parts are only checked, yet they count: their identifiers raise the new
// ones, and a malformed one fails the profile with the file as it was.
TEST_F(MenuFilePatch, PartsTheAddDoesNotChangeStillCount) {
  auto write = [this](const char* toolbars) {
    const std::string path = dir_ + "/main.CUIX";
    EXPECT_TRUE(writePackage(path, {{"Header.cui", kHeaderPart},
                                    {"WorkspaceRoot.cui", kWorkspacePart},
                                    {"ToolbarRoot.cui", toolbars}}));
    return path;
  };
  std::string path = write("<ToolbarRoot><Toolbar uid=\"wstu_900\" /></ToolbarRoot>");
  ASSERT_TRUE(patch(dir_ + "/main", ProfileMode::kAdd, ".CUIX"));
  zipEntryList saved;
  ASSERT_EQ(saved.readArchive(path.c_str()), ZipError::kNone);
  const zipEntry* workspaces = saved.findEntry("WorkspaceRoot.cui");
  ASSERT_NE(workspaces, nullptr);
  const std::string text(workspaces->data.begin(), workspaces->data.end());
  EXPECT_NE(text.find("UID=\"WSTU_901\""), std::string::npos) << text;
  EXPECT_EQ(text.find("UID=\"WSTU_1\""), std::string::npos) << text;

  std::remove(backupPathFor(path).c_str());
  path = write("<ToolbarRoot><Toolbar uid=\"wstu_900\"></ToolbarRoot>");
  const auto before = snapshot();
  EXPECT_FALSE(patch(dir_ + "/main", ProfileMode::kAdd, ".CUIX"));
  EXPECT_EQ(snapshot(), before);
}

// Each step of the two saves an add makes (the backup, then the file) fails in turn, under
// every outcome a replace can have: the user's bytes are afterwards in the file, or, where the
// replace took the file's name, in the backup beside the new file the report names.
TEST_F(MenuFilePatch, EveryStepAndEveryReplaceOutcomeKeepsTheUsersBytes) {
  ASSERT_TRUE(writePackage(
      dir_ + "/main.CUIX",
      {{"Header.cui", kHeaderPart}, {"WorkspaceRoot.cui", kWorkspacePart}, {"image.bmp", "BM"}}));
  const std::string packageBytes = readFile(dir_ + "/main.CUIX");
  using Step = platform::FileStep;
  const struct {
    Step gives;
    int times;
    int movesFailing;
  } outcomes[] = {
      {Step::kDone, 0, 0},
      {Step::kFailed, 1, 0},
      {Step::kSharingViolation, 2, 0},
      {Step::kSharingViolation, 100, 0},
      {Step::kAccessDenied, 100, 0},
      {Step::kLockViolation, 100, 0},
      {Step::kTargetGone, 1, 0},
      {Step::kTargetGone, 1, 100},
  };
  for (const char* extension : {".CUI", ".CUIX"}) {
    const std::string path = dir_ + "/main" + extension;
    const std::string original = extension == std::string(".CUI") ? kFile : packageBytes;
    for (const auto& outcome : outcomes) {
      for (int step = 1;; ++step) {
        const std::string at = std::string(extension) + " outcome " +
                               std::to_string(&outcome - outcomes) + " step " +
                               std::to_string(step);
        writeFile(path, original);
        std::remove(backupPathFor(path).c_str());
        const auto before = test_support::folderNames(dir_);
        test_support::FileFaults faults;
        faults.failingStep = step;
        faults.replaceGives = outcome.gives;
        faults.replaceTimes = outcome.times;
        faults.movesFailingAfterGone = outcome.movesFailing;
        ProfileReport report;
        ProfileResult got;
        {
          platform::ScopedFileOperations scope(faults);
          got = result(path, ProfileMode::kAdd, false, extension, &report);
        }
        const bool done = profileResultDone(got);
        if (access(path.c_str(), F_OK) != 0) {
          // The name is gone: the backup holds the user's bytes, the new file the edit.
          EXPECT_EQ(got, ProfileResult::kSaveFailed) << at;
          EXPECT_EQ(readFile(backupPathFor(path)), original) << at;
          ASSERT_FALSE(report.leftFile.empty()) << at;
          EXPECT_NE(readFile(report.leftFile), "") << at;
          EXPECT_EQ(report.leftFile.rfind(path + ".new-", 0), 0u) << at;
          std::remove(report.leftFile.c_str());
        } else if (done) {
          EXPECT_NE(readFile(path), original) << at;
          EXPECT_EQ(readFile(backupPathFor(path)), original) << at;
          EXPECT_EQ(report.leftFile, "") << at;
        } else {
          EXPECT_EQ(readFile(path), original) << at;
          EXPECT_EQ(test_support::folderNames(dir_), before) << at;
        }
        if (step > faults.steps) break;
        // A failed move after a lost name is tried again; every other failed step fails.
        if (outcome.gives != Step::kTargetGone) {
          EXPECT_FALSE(done) << at;
        }
      }
    }
    std::remove(path.c_str());
    std::remove(backupPathFor(path).c_str());
  }
}

// Each kind of profile gives its own reason, and a dry run foresees it without touching the
// folder.
TEST_F(MenuFilePatch, DryRunsForeseeTheRealRunsResultAndItsReason) {
  const std::string unnamed =
      "<CustSection><Header><WorkspaceRoot><Workspace><Other /></Workspace></WorkspaceRoot>"
      "</Header></CustSection>";
  using R = ProfileResult;
  struct Case {
    const char* name;
    std::string content;  // empty: no file
    ProfileMode mode;
    R expected;
  } cases[] = {
      {"good", kFile, ProfileMode::kAdd, R::kAdded},
      {"clean", kFile, ProfileMode::kRemove, R::kAlreadyAsAsked},
      {"missing", "", ProfileMode::kAdd, R::kFileMissing},
      {"broken", "<CustSection><Header>", ProfileMode::kRemove, R::kMalformedDocument},
      {"unnamed", unnamed, ProfileMode::kAdd, R::kNoNamedWorkspace},
      {"unnamed", unnamed, ProfileMode::kRemove, R::kAlreadyAsAsked},
      {"locked", kFile, ProfileMode::kAdd, R::kReadOnly},
      {"backup", kFile, ProfileMode::kAdd, R::kBackupFailed},
      {"dangling", kFile, ProfileMode::kAdd,
       R::kBackupFailed},  // a link to nowhere at the backup's name
      {"immutable", kFile, ProfileMode::kAdd, R::kReadOnly},  // even root may not replace it
  };
  for (const Case& c : cases) {
    const std::string path = dir_ + "/" + c.name + ".CUI";
    if (!c.content.empty()) writeFile(path, c.content);
    if (std::string(c.name) == "locked") chmod(path.c_str(), 0444);
    if (std::string(c.name) == "backup") mkdir(backupPathFor(path).c_str(), 0700);
    if (std::string(c.name) == "dangling") symlink("nowhere", backupPathFor(path).c_str());
    const std::string immutable = "chattr +i '" + path + "' 2>/dev/null";
    if (std::string(c.name) == "immutable" && std::system(immutable.c_str()) != 0) continue;
    const auto before = snapshot();
    EXPECT_EQ(result(path, c.mode, true), c.expected) << c.name;
    EXPECT_EQ(snapshot(), before) << c.name;
    EXPECT_EQ(result(path, c.mode, false), c.expected) << c.name;
    if (std::string(c.name) == "immutable") std::system(("chattr -i '" + path + "'").c_str());
  }
  EXPECT_EQ(result(dir_ + "/folder", ProfileMode::kAdd, true), R::kFileMissing);
  mkdir((dir_ + "/folder.CUI").c_str(), 0700);
  EXPECT_EQ(result(dir_ + "/folder", ProfileMode::kAdd, true), R::kNotRegularFile);
  EXPECT_EQ(result("relative.cui", ProfileMode::kAdd, false), R::kRelativePath);
  writeFile(dir_ + "/zip.CUIX", kFile);
  EXPECT_EQ(result(dir_ + "/zip", ProfileMode::kAdd, false, ".CUIX"), R::kDamagedArchive);
  auto noValue = platform::RegistryFile::fromText("Windows Registry Editor Version 5.00\r\n");
  ProfileReport report;
  EXPECT_EQ(PatchMenuFile(*noValue, run_, kProduct, "C:\\S", "P", ProfileMode::kAdd, 0, ".CUI",
                          false, &report),
            R::kNoMenuFileValue);
  EXPECT_EQ(report.target,
            std::string("HKEY_CURRENT_USER\\") + kProduct + "\\Profiles\\P\\General Configuration");
  // A value longer than the buffer is a path too long, not a missing value.
  EXPECT_EQ(result("/" + std::string(300, 'm'), ProfileMode::kAdd, true), R::kPathTooLong);

  // A failing step of the backup's save, then of the file's own.
  const std::string path = dir_ + "/steps.CUI";
  std::vector<R> seen;
  for (int step = 1;; ++step) {
    writeFile(path, kFile);
    std::remove(backupPathFor(path).c_str());
    test_support::FileFaults faults;
    faults.failingStep = step;
    R got;
    {
      platform::ScopedFileOperations scope(faults);
      got = result(path, ProfileMode::kAdd, false);
    }
    if (step > faults.steps) break;
    if (seen.empty() || seen.back() != got) seen.push_back(got);
  }
  EXPECT_EQ(seen, (std::vector<R>{R::kBackupFailed, R::kSaveFailed}));
}

}  // namespace
