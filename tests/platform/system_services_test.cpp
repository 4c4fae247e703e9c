#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/safe_file.h"
#include "platform/temp_file.h"

using namespace platform;

namespace {

std::string expand(const char* source) {
  std::uint32_t needed = expandEnvironmentStrings(source, nullptr, 0);
  if (needed == 0) return "<fail>";
  std::vector<char> buffer(needed);
  EXPECT_EQ(expandEnvironmentStrings(source, buffer.data(), needed), needed);
  return std::string(buffer.data());
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir))
      if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
        names.push_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

struct TempDir {
  std::string path;
  TempDir() {
    char name[] = "/tmp/nvx_sys_XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

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
  TempDir dir;
  std::string target = dir.path + "/file.cui";
  writeAll(target, "old content");
  chmod(target.c_str(), 0640);
  ASSERT_TRUE(replaceFileContents(target, "new", 3));
  EXPECT_EQ(readAll(target), "new");
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(listFolder(dir.path).size(), 1u);

  {  // Abandoned before commit: original untouched, new file gone.
    ReplacementFile file(target);
    ASSERT_TRUE(file.open());
    std::fputs("half", file.stream());
    EXPECT_EQ(listFolder(dir.path).size(), 2u);
  }
  EXPECT_EQ(readAll(target), "new");
  EXPECT_EQ(listFolder(dir.path).size(), 1u);

  {  // Written by path after the stream is closed.
    ReplacementFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.closeStream());
    writeAll(file.newPath(), "by path");
    ASSERT_TRUE(file.commit());
  }
  EXPECT_EQ(readAll(target), "by path");
  EXPECT_EQ(listFolder(dir.path).size(), 1u);

  // A new file in an existing folder.
  EXPECT_TRUE(replaceFileContents(dir.path + "/fresh", "x", 1));
  EXPECT_EQ(readAll(dir.path + "/fresh"), "x");
}

TEST(SafeFile, ImpossibleTargetsChangeNothing) {
  TempDir dir;
  std::string folderTarget = dir.path + "/folder";
  ASSERT_EQ(mkdir(folderTarget.c_str(), 0755), 0);
  EXPECT_FALSE(replaceFileContents(folderTarget, "x", 1));
  struct stat info;
  ASSERT_EQ(stat(folderTarget.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(replaceFileContents(dir.path + "/missing/file", "x", 1));
  EXPECT_EQ(listFolder(dir.path), std::vector<std::string>{"folder"});

  ReplacementFile unopened(dir.path + "/never");
  EXPECT_FALSE(unopened.commit());
  EXPECT_EQ(unopened.stream(), nullptr);
}

TEST(SafeFile, FullDiskFailsTheCommitAndKeepsTheOriginal) {
  TempDir dir;
  std::string target = dir.path + "/file.cuix";
  std::string original(5000, 'o');
  writeAll(target, original);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string big(100000, 'n');
    bool direct = replaceFileContents(target, big.data(), big.size());
    ReplacementFile file(target);
    bool streamed = file.open();
    if (streamed) {
      for (int i = 0; i < 20; ++i) std::fwrite(big.data(), 1, 1000, file.stream());
      streamed = file.commit();
    }
    _exit(direct || streamed ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a write past the limit was reported as success";
  EXPECT_EQ(readAll(target), original);
  EXPECT_EQ(listFolder(dir.path), std::vector<std::string>{"file.cuix"});
}

TEST(TempFile, NamesAreNewFilesRemovedByTheGuard) {
  TempDir dir;
  setenv("TMPDIR", dir.path.c_str(), 1);
  std::string name = makeTempFileName();
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(name.rfind(dir.path + "/VT_", 0), 0u);
  EXPECT_EQ(access(name.c_str(), F_OK), 0);
  EXPECT_NE(name, makeTempFileName());
  std::string guarded;
  {
    TempFile file;
    ASSERT_TRUE(file.valid());
    guarded = file.path();
    EXPECT_NE(guarded.substr(guarded.size() - 5), ".cuix");
    EXPECT_EQ(access(guarded.c_str(), F_OK), 0);
  }
  EXPECT_EQ(access(guarded.c_str(), F_OK), -1);
  EXPECT_TRUE(removeFile(name));
  EXPECT_FALSE(removeFile(name));
  setenv("TMPDIR", (dir.path + "/absent").c_str(), 1);
  EXPECT_EQ(makeTempFileName(), "");
  unsetenv("TMPDIR");
}
