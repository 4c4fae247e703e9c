#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/safe_file.h"
#include "tests/support/test_files.h"

using namespace platform;
using namespace test_support;

namespace {

std::string expand(const char* source) {
  std::uint32_t needed = expandEnvironmentStrings(source, nullptr, 0);
  if (needed == 0) return "<fail>";
  std::vector<char> buffer(needed);
  EXPECT_EQ(expandEnvironmentStrings(source, buffer.data(), needed), needed);
  return std::string(buffer.data());
}

}  // namespace

TEST(Environment, ExpandsReferencesAsWindowsDoes) {
  setenv("NVX_HOME_DIR", "/home/u", 1);
  setenv("NvxMixed", "mixed", 1);
  unsetenv("NVX_UNSET");
  struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"%NVX_HOME_DIR%\\a", "/home/u\\a"},
      {"%nvx_home_dir%", "/home/u"},  // names compare without case
      {"%NVXMIXED%", "mixed"},
      {"%NVX_UNSET%\\x", "%NVX_UNSET%\\x"},
      {"%NVX_UNSET%NVX_HOME_DIR%", "%NVX_UNSET/home/u"},
      {"100%", "100%"},
      {"%%", "%%"},
      {"a%%NVX_HOME_DIR%", "a%/home/u"},
      {"", ""},
      {"no refs", "no refs"},
  };
  for (const auto& c : cases) EXPECT_EQ(expand(c.source), c.expected) << c.source;
}

TEST(Environment, SizesAndShortBuffers) {
  setenv("NVX_SIZE", "12345", 1);
  EXPECT_EQ(expandEnvironmentStrings("%NVX_SIZE%", nullptr, 0), 6u);
  char buffer[6];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(expandEnvironmentStrings("%NVX_SIZE%", buffer, 5), 6u);  // too short: caller fails
  EXPECT_EQ(buffer[5], 'z');                                         // never overrun
  EXPECT_EQ(expandEnvironmentStrings("%NVX_SIZE%", buffer, 6), 6u);
  EXPECT_STREQ(buffer, "12345");
  EXPECT_EQ(expandEnvironmentStrings(nullptr, buffer, 6), 0u);
}

TEST(CodePage, AnsiIsUtf8HereAndOthersAreRefused) {
  std::string out;
  const std::string czech = "P\xc5\x99\xc3\xad\x6c\x69\xc5\xa1";
  EXPECT_TRUE(convertText(czech, kCodePageAnsi, kCodePageUtf8, &out));
  EXPECT_EQ(out, czech);
  EXPECT_TRUE(convertText(czech, kCodePageUtf8, kCodePageAnsi, &out));
  EXPECT_EQ(out, czech);
  EXPECT_TRUE(convertText("", kCodePageUtf8, kCodePageUtf8, &out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(convertText(czech, 1250, kCodePageUtf8, &out));
}

TEST(SafeFile, ReplacesOnlyWhenComplete) {
  TempFolder dir;
  std::string target = dir.path() + "/file.cui";
  writeFile(target, "old content");
  chmod(target.c_str(), 0640);
  ASSERT_TRUE(replaceFileContents(target, "new", 3));
  EXPECT_EQ(readFile(target), "new");
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(folderNames(dir.path()).size(), 1u);

  {  // Abandoned before commit: original untouched, new file gone.
    ReplacementFile file(target);
    ASSERT_TRUE(file.open());
    std::fputs("half", file.stream());
    EXPECT_EQ(folderNames(dir.path()).size(), 2u);
  }
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(folderNames(dir.path()).size(), 1u);

  {  // Written by path after the stream is closed.
    ReplacementFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.closeStream());
    writeFile(file.newPath(), "by path");
    ASSERT_TRUE(file.commit());
  }
  EXPECT_EQ(readFile(target), "by path");
  EXPECT_EQ(folderNames(dir.path()).size(), 1u);

  // A new file in an existing folder.
  EXPECT_TRUE(replaceFileContents(dir.path() + "/fresh", "x", 1));
  EXPECT_EQ(readFile(dir.path() + "/fresh"), "x");
}

TEST(SafeFile, ImpossibleTargetsChangeNothing) {
  TempFolder dir;
  std::string folderTarget = dir.path() + "/folder";
  ASSERT_EQ(mkdir(folderTarget.c_str(), 0755), 0);
  EXPECT_FALSE(replaceFileContents(folderTarget, "x", 1));
  struct stat info;
  ASSERT_EQ(stat(folderTarget.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(replaceFileContents(dir.path() + "/missing/file", "x", 1));
  EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"folder"});

  ReplacementFile unopened(dir.path() + "/never");
  EXPECT_FALSE(unopened.commit());
  EXPECT_EQ(unopened.stream(), nullptr);
}

TEST(SafeFile, FullDiskFailsTheCommitAndKeepsTheOriginal) {
  TempFolder dir;
  std::string target = dir.path() + "/file.cuix";
  std::string original(5000, 'o');
  writeFile(target, original);
  int result = runWithFileSizeLimit(4096, [&] {
    std::string big(100000, 'n');
    bool direct = replaceFileContents(target, big.data(), big.size());
    ReplacementFile file(target);
    bool streamed = file.open();
    if (streamed) {
      for (int i = 0; i < 20; ++i) std::fwrite(big.data(), 1, 1000, file.stream());
      streamed = file.commit();
    }
    return direct || streamed ? 1 : 0;
  });
  EXPECT_EQ(result, 0) << "a write past the limit was reported as success";
  EXPECT_EQ(readFile(target), original);
  EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"file.cuix"});
}
