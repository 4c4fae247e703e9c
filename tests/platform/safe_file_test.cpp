// Saves under everything a real machine does: failures at any step, files of other owners,
// links, files changed by somebody else meanwhile, new files that killed runs left behind.
#include "platform/safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/file_faults.h"
#include "tests/support/test_files.h"

using namespace platform;
using namespace test_support;

namespace {

// A process id that is certainly not running: a child that has ended and been reaped.
pid_t goneProcessId() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

bool saveInPieces(const std::string& target, const FileIdentity* expected) {
  ReplacementFile file(target);
  if (expected) file.expectIdentity(*expected);
  return file.open() && file.write("new ", 4) && file.write("content", 7) && file.commit();
}

// A caller that does not look at its writes: a failed one still fails the commit.
bool saveIgnoringWrites(const std::string& target, const FileIdentity* expected) {
  ReplacementFile file(target);
  if (expected) file.expectIdentity(*expected);
  if (!file.open()) return false;
  file.write("new ", 4);
  file.write("content", 7);
  return file.commit();
}

}  // namespace

TEST(SafeFileSteps, EveryFailingStepLeavesTheOriginalAndNoStrayFile) {
  TempFolder dir;
  const std::string target = dir / "main.cui";
  FileIdentity identity;
  for (auto save : {saveInPieces, saveIgnoringWrites}) {
    for (int step = 1;; ++step) {
      writeFile(target, "original");
      ASSERT_EQ(readFileIdentity(target, &identity), FileReadResult::kRead);
      FileFaults faults;
      faults.failingStep = step;
      ScopedFileOperations scope(faults);
      bool saved = save(target, &identity);
      if (step > faults.steps) {  // every step has been made to fail once; now none did
        EXPECT_TRUE(saved);
        EXPECT_EQ(readFile(target), "new content");
        break;
      }
      EXPECT_FALSE(saved) << "step " << step;
      EXPECT_EQ(readFile(target), "original") << "step " << step;
      EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"main.cui"}) << "step " << step;
    }
  }
}

// A replace that another process holds up is tried again for about two seconds, other
// failures at once; a replace that took the name away leaves the new file when the move fails.
TEST(SafeFileSteps, HeldUpReplacesAreTriedAgainAndALostNameKeepsTheNewFile) {
  using Step = FileStep;
  const struct {
    Step gives;
    int times;
    int movesFailing;
    bool saved;
    bool paused;
  } rows[] = {
      {Step::kSharingViolation, 2, 0, true, true}, {Step::kSharingViolation, 100, 0, false, true},
      {Step::kAccessDenied, 100, 0, false, true},  {Step::kLockViolation, 100, 0, false, true},
      {Step::kFailed, 1, 0, false, false},         {Step::kTargetGone, 1, 0, true, false},
      {Step::kTargetGone, 1, 3, true, true},       {Step::kTargetGone, 1, 100, false, true},
  };
  TempFolder dir;
  const std::string target = dir / "main.cui";
  for (const auto& row : rows) {
    const std::string at = "row " + std::to_string(&row - rows);
    writeFile(target, "original");
    FileFaults faults;
    faults.replaceGives = row.gives;
    faults.replaceTimes = row.times;
    faults.movesFailingAfterGone = row.movesFailing;
    ScopedFileOperations scope(faults);
    EXPECT_EQ(saveInPieces(target, nullptr), row.saved) << at;
    EXPECT_EQ(faults.pausedMs > 0, row.paused) << at;
    EXPECT_LE(faults.pausedMs, 2500u) << at;
    const std::string left = takeLeftNewFile(target);
    if (row.saved || row.gives != Step::kTargetGone) {
      EXPECT_EQ(readFile(target), row.saved ? "new content" : "original") << at;
      EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"main.cui"}) << at;
      EXPECT_EQ(left, "") << at;
    } else {
      EXPECT_EQ(folderNames(dir.path()).size(), 1u) << at;
      EXPECT_EQ(readFile(left), "new content") << at;
      EXPECT_EQ(takeLeftNewFile(target), "") << at;  // told once
      std::remove(left.c_str());
    }
  }
  // The host saves while the replace waits: its file stays.
  writeFile(target, "original");
  FileIdentity identity;
  ASSERT_EQ(readFileIdentity(target, &identity), FileReadResult::kRead);
  FileFaults faults;
  faults.replaceGives = Step::kSharingViolation;
  faults.replaceTimes = 1;
  faults.onPause = [&] {
    usleep(20000);
    writeFile(target, "by the host");
  };
  ScopedFileOperations scope(faults);
  EXPECT_FALSE(saveInPieces(target, &identity));
  EXPECT_EQ(readFile(target), "by the host");
  EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"main.cui"});
}

TEST(SafeFileIdentity, KeepsOwnerModeAndTheLinkAndRefusesAChangedFile) {
  TempFolder dir;
  const std::string target = dir / "main.cuix", link = dir / "link.cuix";
  writeFile(target, "original");
  ASSERT_EQ(chmod(target.c_str(), 0604), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);
  }
  ASSERT_EQ(symlink("main.cuix", link.c_str()), 0);

  ASSERT_TRUE(replaceFileContents(link, "through the link", 16));
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(readFile(target), "through the link");
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  if (root) {
    EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(4321u, 4322u));
  }

  // The backup copy takes the original's owner and mode too.
  OpenedFile opened;
  ASSERT_EQ(opened.open(target), FileReadResult::kRead);
  ASSERT_TRUE(copyOpenedFile(opened, dir / "main.cuix.bak"));
  opened.close();
  ASSERT_EQ(stat((dir / "main.cuix.bak").c_str(), &info), 0);
  EXPECT_EQ(readFile(dir / "main.cuix.bak"), "through the link");
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  if (root) {
    EXPECT_EQ(info.st_uid, 4321u);
  }

  // Saved by somebody else after it was read, even with the same size: left as it is.
  FileIdentity loaded;
  ASSERT_EQ(readFileIdentity(link, &loaded), FileReadResult::kRead);
  usleep(20000);
  writeFile(target, "by the host here");
  ReplacementFile late(link);
  late.expectIdentity(loaded);
  ASSERT_TRUE(late.open() && late.write("ours", 4));
  EXPECT_FALSE(late.commit());
  EXPECT_TRUE(late.targetChanged());
  EXPECT_EQ(readFile(target), "by the host here");
  EXPECT_EQ(folderNames(dir.path()).size(), 3u);
}

TEST(SafeFileStale, NewFilesOfRunsThatAreGoneAreRemoved) {
  TempFolder dir;
  const std::string target = dir / "main.cuix";
  writeFile(target, "original");
  const std::string gone = std::to_string(goneProcessId());
  const std::string alive = std::to_string(getppid());
  const std::vector<std::string> kept = {
      "main.cuix.new-" + alive + "-abcdef",  // a run that is still going
      "main.cuix.new-" + gone + "-abc",      // not a name this program makes
      "other.cuix.new-" + gone + "-abcdef",  // beside another file
  };
  for (const std::string& name : kept) writeFile(dir / name, "x");
  writeFile(dir / ("main.cuix.new-" + gone + "-abcdef"), std::string(100000, 'k'));
  ASSERT_TRUE(replaceFileContents(target, "new", 3));
  std::vector<std::string> expected = kept;
  expected.push_back("main.cuix");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folderNames(dir.path()), expected);
}

TEST(SafeFileRemove, RemovesAFileOnceOnly) {
  TempFolder dir;
  const std::string name = dir / "VT_CUI_1";
  writeFile(name, "");
  EXPECT_TRUE(removeFile(name));
  EXPECT_FALSE(removeFile(name));
  EXPECT_TRUE(folderNames(dir.path()).empty());
}
