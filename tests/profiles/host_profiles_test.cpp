#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/registry_file.h"
#include "profiles/host_profiles.h"
#include "tests/support/recording_registry.h"

namespace {

const char kProduct[] = "Software\\\\Autodesk\\\\AutoCAD LT\\\\R10\\\\ACLT-4001:405";
const char kHost[] = "HKEY_CURRENT_USER\\Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405";

std::string host(const std::string& platform, const std::string& profiles) {
  return std::string(
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]\r\n"
             "\"AcadPathReg\"=\"") +
         kProduct + "\"\r\n" + platform + "\r\n[" + kHost +
         "]\r\n\"RoamableRootFolder\"=\"C:\\\\R\\\\\"\r\n\r\n" + profiles;
}

std::string menus(const std::string& profile, const std::string& values) {
  return "[" + std::string(kHost) + "\\Profiles\\" + profile + "\\Menus]\r\n" + values + "\r\n";
}

struct Host {
  explicit Host(const std::string& text)
      : file(platform::RegistryFile::fromText(text)),
        recorder(file.get()),
        profiles(recorder, run) {}
  std::unique_ptr<platform::RegistryFile> file;
  testsupport::RecordingRegistry recorder;
  EditRun run;
  HostProfiles profiles;
};

TEST(HostProfiles, ReleaseNumbers) {
  struct Case {
    const char* key;
    int release;
  } cases[] = {{"Software\\A\\R10\\ACLT-1:405", 10},
               {"Software\\A\\R18.1\\ACLT-1:405\\", 18},
               {"Software\\A\\Rx\\ACLT", 0},
               {"Software\\A\\R\\ACLT", 0},
               {"ACLT-1:405", -1},
               {"R18\\ACLT", -1}};
  for (const Case& c : cases) EXPECT_EQ(HostProfiles::HostReleaseNumber(c.key), c.release) << c.key;
}

TEST(HostProfiles, ViewsFollowThePlatformFlag) {
  for (const auto& flag : {std::make_pair("\"AcadPlatform\"=\"1\"", 0x20119u),
                           std::make_pair("\"AcadPlatform\"=\"01\"", 0x20219u),
                           std::make_pair("\"AcadPlatform\"=dword:00000001", 0x20219u),
                           std::make_pair("", 0x20219u)}) {
    Host h(host(flag.first, "[" + std::string(kHost) + "\\Profiles\\B]\r\n\r\n[" + kHost +
                                "\\Profiles\\A]\r\n"));
    std::vector<std::string> names;
    ASSERT_TRUE(h.profiles.ListProfiles(&names));
    EXPECT_EQ(names, (std::vector<std::string>{"B", "A"}));
    ASSERT_EQ(h.recorder.opens().size(), 2u);
    EXPECT_EQ(h.recorder.opens()[0].access, 0x20019u | 0x0200u);  // a 64-bit process
    EXPECT_EQ(h.recorder.opens()[1].access, flag.second) << flag.first;
  }
}

TEST(HostProfiles, RegistrationAddsOnceAndRemovesEveryTrace) {
  Host h(host("", menus("P", "\"Group1\"=\"ACLT C:\\\\Aclt\"\r\n\"Group5\"=\"Extra\"\r\n")));
  ASSERT_TRUE(h.profiles.AddToProfile("P"));
  std::string text = h.file->toText();
  EXPECT_NE(text.find("\"Group6\"=\"Norvex_Express C:\\\\R\\\\Support\\\\Norvex_Express\""),
            std::string::npos);
  ASSERT_TRUE(h.profiles.AddToProfile("P"));
  EXPECT_EQ(h.file->toText(), text);
  EXPECT_FALSE(h.profiles.AddToProfile("Nobody"));  // no Menus key to add to
  EXPECT_TRUE(h.profiles.RemoveFromProfile("Nobody"));

  Host twice(
      host("", menus("P",
                     "\"Group1\"=\"NORVEX_EXPRESS a\"\r\n\"Group2\"=\"Host C:\\\\MixedCase\"\r\n"
                     "\"Group3\"=\"norvex_express b\"\r\n\"MyGroupX\"=\"Third\"\r\n")));
  ASSERT_TRUE(twice.profiles.RemoveFromProfile("P"));
  text = twice.file->toText();
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(lower.find("norvex_express"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Group1\"=\"Host C:\\\\MixedCase\""), std::string::npos);
  EXPECT_NE(text.find("\"Group2\"=\"Third\""), std::string::npos);
}

TEST(HostProfiles, InputThatDoesNotFitIsRefused) {
  // The support base path holds 515 characters: the root folder may take 492 of them.
  std::string suffix = "\\Support\\Norvex_Express";
  for (size_t rootLength : {515 - suffix.size(), 516 - suffix.size()}) {
    std::string root(rootLength, 'r');
    std::string text = host("", menus("P", ""));
    text.replace(text.find("C:\\\\R\\\\"), 7, root);
    Host h(text);
    EXPECT_EQ(h.profiles.AddToProfile("P"), rootLength + suffix.size() < 516) << rootLength;
  }
  Host h(host("", menus("P", "\"Group1\"=\"" + std::string(1024, 'x') + "\"\r\n")));
  EXPECT_FALSE(h.profiles.AddToProfile("P"));
  EXPECT_EQ(h.file->toText().find("Norvex_Express C"), std::string::npos);
  Host fits(host("", menus("P", "\"Group1\"=\"" + std::string(1023, 'x') + "\"\r\n")));
  EXPECT_TRUE(fits.profiles.AddToProfile("P"));
  EXPECT_FALSE(fits.profiles.AddToProfile(std::string(256, 'p').c_str()));
}

}  // namespace
