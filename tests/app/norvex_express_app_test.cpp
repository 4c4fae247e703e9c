#include "app/norvex_express_app.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/czech_texts.h"
#include "tests/support/test_files.h"

// The dialog is no part of these runs.
int runMainDialog(ProfileOperations&) {
  return 99;
}

namespace {

using test_support::readFile;
using test_support::writeFile;

const char kCui[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CustSection><Header><WorkspaceRoot>"
    "<Workspace UID=\"WS_1\"><Name>Kreslení</Name></Workspace></WorkspaceRoot></Header>"
    "</CustSection>\n";

// A .cui host with two profiles in a private folder, and the program run over it with a
// host check and output of the test's choosing.
class AppRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.valid());
    registry_ = folder_ / "registry.reg";
    std::string base = "HKEY_CURRENT_USER\\Software\\Norvex Test\\Host LT\\R12\\HOSTLT-7001:405";
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]\r\n"
        "\"AcadPathReg\"=\"Software\\\\Norvex Test\\\\Host LT\\\\R12\\\\HOSTLT-7001:405\"\r\n"
        "\"AcadPlatform\"=\"1\"\r\n\r\n[" +
        base + "]\r\n\"RoamableRootFolder\"=\"C:\\\\R\"\r\n\r\n";
    for (const char* name : {"A", "B"}) {
      writeFile(folder_ / (std::string(name) + ".cui"), kCui);
      text += "[" + base + "\\Profiles\\" + name + "\\General Configuration]\r\n\"MenuFile\"=\"" +
              folder_.path() + "/" + name + ".cui\"\r\n\r\n";
    }
    writeFile(registry_, text);
    setenv("NORVEX_EXPRESS_REGISTRY", registry_.c_str(), 1);
  }

  int run(std::vector<std::string> arguments, bool hostRunning) {
    output_.clear();
    CNorvexExpressApp app(platform::openSystemRegistry());
    app.SetOutput([this](const std::string& text) {
      output_ += text;
      return true;
    });
    app.SetHostCheck([hostRunning] { return hostRunning; });
    return app.InitInstance(arguments);
  }

  std::vector<std::string> snapshot() {
    std::vector<std::string> files;
    for (const std::string& name : test_support::folderNames(folder_.path()))
      files.push_back(name + "=" + readFile(folder_ / name));
    return files;
  }

  test_support::TempFolder folder_;
  std::string registry_;
  std::string output_;
};

TEST_F(AppRun, HostRunningChangesNothingButStatusStillWorks) {
  const std::vector<std::string> before = snapshot();
  EXPECT_EQ(run({"-i"}, true), kExitHostRunning);
  EXPECT_EQ(output_, "");
  EXPECT_EQ(run({"/r"}, true), kExitHostRunning);
  EXPECT_EQ(run({"-i", "--dry-run"}, true), kExitHostRunning);
  // The dialog's words, in the one schema.
  const std::string running = std::string("\thost-running\t") + NVX_TEXT_HOST_RUNNING + "\n";
  EXPECT_EQ(output_, "\tA\t-" + running + "\tB\t-" + running);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(run({"--status"}, true), kExitSomeFailed);
  EXPECT_EQ(output_, "\tA\t" + folder_.path() + "/A.cui\tabsent\t\n\tB\t" + folder_.path() +
                         "/B.cui\tabsent\t\n");
  std::string log = folder_ / "run.log";
  EXPECT_EQ(run({"-i", "--log", log}, true), kExitHostRunning);
  std::string logged = readFile(log);
  EXPECT_NE(logged.find("\t-i\tSoftware\\Norvex Test\\Host LT\\R12\\HOSTLT-7001:405\t-i --log " +
                        log + "\n"),
            std::string::npos);
  EXPECT_NE(logged.find("\n\tA\t-" + running), std::string::npos);
  EXPECT_EQ(logged.substr(logged.size() - 7), "exit 3\n");
  EXPECT_EQ(run({"-i"}, false), kExitUpdated);
  EXPECT_EQ(run({"--status"}, true), kExitUpdated);
}

}  // namespace
