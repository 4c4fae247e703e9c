#include "platform/processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "tests/support/test_files.h"

using platform::isProcessRunningForCurrentUser;
using test_support::TempFolder;

namespace {

// A copy of sleep under another name, started in the constructor and killed in the destructor.
// Names carry our process id, so that runs of these tests side by side do not see each other.
class Sleeper {
 public:
  // registry: the child's NORVEX_EXPRESS_REGISTRY, nullptr for none; uid: -1 keeps ours.
  Sleeper(const TempFolder& folder, const std::string& name, const char* registry = nullptr,
          int uid = -1) {
    // A folder of its own: a copy that runs cannot be written again.
    static int copies = 0;
    const std::string own = folder / std::to_string(++copies);
    const std::string path = own + "/" + name;
    chmod(folder.path().c_str(), 0755);
    mkdir(own.c_str(), 0755);
    test_support::writeFile(path, test_support::readFile("/bin/sleep"));
    chmod(path.c_str(), 0755);
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      if (registry) {
        setenv("NORVEX_EXPRESS_REGISTRY", registry, 1);
      } else {
        unsetenv("NORVEX_EXPRESS_REGISTRY");
      }
      if (uid >= 0 &&
          (setgid(static_cast<gid_t>(uid)) != 0 || setuid(static_cast<uid_t>(uid)) != 0))
        _exit(126);
      execl(path.c_str(), path.c_str(), "3600", static_cast<char*>(nullptr));
      int error = errno;
      (void)!write(ready[1], &error, sizeof error);
      _exit(127);
    }
    close(ready[1]);
    // The pipe closes at the exec; a number in it means the exec failed.
    int error = 0;
    started_ = pid_ > 0 && read(ready[0], &error, sizeof error) == 0;
    close(ready[0]);
  }
  ~Sleeper() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  Sleeper(const Sleeper&) = delete;
  Sleeper& operator=(const Sleeper&) = delete;

  bool started() const { return started_; }
  // Ends the process but leaves it unreaped, as a zombie.
  void killLeavingZombie() {
    if (pid_ <= 0) return;  // kill(-1) would reach every process we may signal
    kill(pid_, SIGKILL);
    siginfo_t info;
    waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
  }

 private:
  pid_t pid_ = -1;
  bool started_ = false;
};

std::string unique(const char* prefix, const char* suffix) {
  return prefix + std::to_string(getpid()) + suffix;
}

bool runs(const std::string& name) {
  return isProcessRunningForCurrentUser(name.c_str());
}

class RunningProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("NORVEX_EXPRESS_REGISTRY");
    ASSERT_TRUE(folder_.valid());
  }
  void TearDown() override { unsetenv("NORVEX_EXPRESS_REGISTRY"); }
  TempFolder folder_;
};

TEST_F(RunningProcesses, TheWholeNameCountsWithoutRegardToCase) {
  const std::string name = unique("nh", ".exe");
  EXPECT_FALSE(runs(name));
  Sleeper longer(folder_, name + ".bak"), prefixed(folder_, "x" + name);
  ASSERT_TRUE(longer.started() && prefixed.started());
  EXPECT_TRUE(runs(name + ".bak"));
  EXPECT_FALSE(runs(name));
  EXPECT_FALSE(runs(name.substr(1)));
  EXPECT_FALSE(runs(name.substr(0, name.size() - 1)));
  EXPECT_FALSE(isProcessRunningForCurrentUser(""));

  Sleeper upper(folder_, unique("NH", ".EXE"));
  ASSERT_TRUE(upper.started());
  EXPECT_TRUE(runs(name));
  EXPECT_TRUE(runs(unique("nH", ".eXe")));
}

TEST_F(RunningProcesses, NamesLongerThanTheKernelKeepsAreComparedWhole) {
  std::string cut = unique("nvxlong", "");
  cut.resize(15, 'x');
  const std::string name = cut + "-host.exe";
  Sleeper sleeper(folder_, name);
  ASSERT_TRUE(sleeper.started());
  EXPECT_TRUE(runs(name));
  EXPECT_TRUE(runs(cut + "-HOST.EXE"));
  EXPECT_FALSE(runs(cut));  // what comm shows
  EXPECT_FALSE(runs(cut + "-host.ex"));
}

TEST_F(RunningProcesses, AnEndedProcessNoLongerCounts) {
  const std::string name = unique("nz", ".exe");
  Sleeper sleeper(folder_, name);
  ASSERT_TRUE(sleeper.started());
  EXPECT_TRUE(runs(name));
  sleeper.killLeavingZombie();
  EXPECT_FALSE(runs(name));
}

TEST_F(RunningProcesses, OnlyProcessesOfOurUserCount) {
  if (getuid() != 0) GTEST_SKIP() << "starting a process of another user needs root";
  const std::string name = unique("nu", ".exe");
  Sleeper other(folder_, name, nullptr, 65534);
  ASSERT_TRUE(other.started());
  EXPECT_FALSE(runs(name));
  Sleeper ours(folder_, name + "2");
  ASSERT_TRUE(ours.started());
  EXPECT_TRUE(runs(name + "2"));
}

TEST_F(RunningProcesses, ASubstituteRegistrySeesOnlyProcessesStartedWithIt) {
  const std::string name = unique("nr", ".exe");
  const std::string ours = folder_ / "a.reg";
  Sleeper plain(folder_, name), elsewhere(folder_, name, (folder_ / "b.reg").c_str());
  Sleeper prefixed(folder_, name, (ours + "x").c_str());
  ASSERT_TRUE(plain.started() && elsewhere.started() && prefixed.started());
  EXPECT_TRUE(runs(name));
  setenv("NORVEX_EXPRESS_REGISTRY", ours.c_str(), 1);
  EXPECT_FALSE(runs(name));
  Sleeper same(folder_, name + "2", ours.c_str());
  ASSERT_TRUE(same.started());
  EXPECT_TRUE(runs(name + "2"));
}

}  // namespace
