#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/registry_file.h"
#include "profiles/host_profiles.h"
#include "tests/support/failing_registry.h"
#include "tests/support/recording_registry.h"
#include "tests/support/registry_text.h"

namespace {

const char kProduct[] = "Software\\\\Autodesk\\\\AutoCAD LT\\\\R10\\\\ACLT-4001:405";
const char kHost[] = "HKEY_CURRENT_USER\\Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405";
// The add-on's group value for the roaming folder of host().
const char kAddOnData[] = "Norvex_Express C:\\R\\Support\\Norvex_Express";
// The same as an earlier version of the host's folders had it.
const char kMovedData[] = "NORVEX_EXPRESS D:/Staré\\Support\\norvex_express";

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
  test_support::RecordingRegistry recorder;
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
  EXPECT_EQ(platform::lowerAscii(text).find("norvex_express"), std::string::npos) << text;
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

// Menu-group values for the tests of the registry form: written into registry text, read
// back whole, and the result a removal must reach, worked out here from the rules alone.
struct Val {
  std::string name;
  std::uint32_t type;
  std::vector<unsigned char> data;
};

std::vector<unsigned char> sz(const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

Val szValue(const std::string& name, const std::string& text) {
  return Val{name, platform::kRegSz, sz(text)};
}

using platform::lowerAscii;

using test_support::registryEscaped;

std::string valueLines(const std::vector<Val>& values) {
  std::string out;
  for (const Val& v : values) {
    out += "\"" + registryEscaped(v.name) + "\"=";
    if (v.type == platform::kRegSz && !v.data.empty() && v.data.back() == 0) {
      out += "\"" + registryEscaped(std::string(v.data.begin(), v.data.end() - 1)) + "\"";
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "hex(%x):", v.type);
      out += buffer;
      for (size_t i = 0; i < v.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", v.data[i]);
        out += buffer;
      }
    }
    out += "\r\n";
  }
  return out;
}

std::vector<Val> readValues(platform::Registry& registry, const std::string& path) {
  std::vector<Val> values;
  platform::RegKey key;
  if (registry.openKey(platform::RegRoot::kCurrentUser, path.c_str(), platform::kKeyRead, &key))
    return values;
  for (std::uint32_t index = 0;; ++index) {
    char name[2048];
    unsigned char data[2048];
    std::uint32_t nameSize = sizeof name, dataSize = sizeof data, type = 0;
    if (registry.enumValue(key, index, name, &nameSize, &type, data, &dataSize)) break;
    values.push_back(Val{std::string(name, nameSize), type, {data, data + dataSize}});
  }
  registry.closeKey(key);
  return values;
}

bool isGroup(const Val& v) {
  return v.type == platform::kRegSz && lowerAscii(v.name).find("group") != std::string::npos;
}

bool namesAddOn(const Val& v) {
  std::string text(v.data.begin(), v.data.end());
  return isGroup(v) && lowerAscii(text).find("norvex_express") != std::string::npos;
}

// The groups a removal keeps: the data of every group value that does not name the add-on,
// each once, in the order of their first values.
std::vector<std::vector<unsigned char>> userGroups(const std::vector<Val>& values) {
  std::vector<std::vector<unsigned char>> groups;
  for (const Val& v : values)
    if (isGroup(v) && !namesAddOn(v) &&
        std::find(groups.begin(), groups.end(), v.data) == groups.end())
      groups.push_back(v.data);
  return groups;
}

// The Menus values after a removal: the values that are not group values as they were, and
// the user's groups as Group1, Group2, ... in order, skipping the names of those values.
std::vector<Val> removed(const std::vector<Val>& before) {
  if (std::none_of(before.begin(), before.end(), namesAddOn)) return before;
  std::vector<Val> after;
  std::set<std::string> foreign;
  for (const Val& v : before)
    if (!isGroup(v)) {
      after.push_back(v);
      foreign.insert(lowerAscii(v.name));
    }
  int number = 0;
  for (const auto& data : userGroups(before)) {
    do ++number;
    while (foreign.count("group" + std::to_string(number)));
    after.push_back(Val{"Group" + std::to_string(number), platform::kRegSz, data});
  }
  return after;
}

// The values as a comparable text: the non-group values in order, then the group values in
// order with their names in lower case (a name kept in another case is the same name).
std::string shape(const std::vector<Val>& values) {
  std::string others, groups;
  for (const Val& v : values) {
    std::string data(v.data.begin(), v.data.end());
    if (isGroup(v))
      groups += lowerAscii(v.name) + "=" + data + "|";
    else
      others += v.name + ":" + std::to_string(v.type) + "=" + data + "|";
  }
  return others + " / " + groups;
}

const std::string kMenus = std::string(kHost).substr(18) + "\\Profiles\\P\\Menus";
const std::string kToolbars = std::string(kHost).substr(18) + "\\Profiles\\P\\Toolbars";

std::string profileText(const std::vector<Val>& values) {
  return host("", menus("P", valueLines(values)) + "[" + kHost + "\\Profiles\\P\\Toolbars]\r\n" +
                      "\"NORVEX_EXPRESS.TB1\"=\"x\"\r\n\"ACLT.Draw\"=\"z\"\r\n"
                      "\"norvex_express.tb2\"=\"y\"\r\n");
}

struct FaultHost {
  explicit FaultHost(const std::string& text)
      : file(platform::RegistryFile::fromText(text)), failing(file.get()), profiles(failing, run) {}
  std::vector<Val> menuValues() { return readValues(*file, kMenus); }
  std::unique_ptr<platform::RegistryFile> file;
  test_support::FailingRegistry failing;
  EditRun run;
  HostProfiles profiles;
};

// Removes the add-on from a profile whose Menus key holds these values: once without faults,
// then once for every change the removal makes, with that change and every later one failing
// (a failed write, or the run killed there). After each fault every menu group is still a
// group value and nothing else has changed; a clean run then gives what the faultless run
// gave, and a run after that changes nothing.
void checkRemovalUnderFaults(const std::vector<Val>& before, const std::string& label) {
  const std::string text = profileText(before);
  const std::string expected = shape(removed(before));
  const auto groups = userGroups(before);
  std::vector<Val> foreign;
  for (const Val& v : before)
    if (!isGroup(v)) foreign.push_back(v);

  FaultHost clean(text);
  ASSERT_TRUE(clean.profiles.RemoveFromProfile("P")) << label;
  ASSERT_EQ(shape(clean.menuValues()), expected) << label;
  EXPECT_EQ(shape(readValues(*clean.file, kToolbars)), shape({szValue("ACLT.Draw", "z")}));
  const int changes = clean.failing.changes();
  clean.failing.failFrom(0);
  ASSERT_TRUE(clean.profiles.RemoveFromProfile("P")) << label;
  EXPECT_EQ(clean.failing.changes(), 0) << label;

  for (int fault = 1; fault <= changes; ++fault) {
    std::string where = label + ", fault at change " + std::to_string(fault);
    FaultHost h(text);
    h.failing.failFrom(fault);
    EXPECT_FALSE(h.profiles.RemoveFromProfile("P")) << where;
    std::vector<Val> now = h.menuValues();
    for (const auto& data : groups)
      EXPECT_TRUE(std::any_of(now.begin(), now.end(),
                              [&](const Val& v) { return isGroup(v) && v.data == data; }))
          << where << ": lost " << std::string(data.begin(), data.end()) << " in " << shape(now);
    std::vector<Val> nowForeign;
    for (const Val& v : now)
      if (!isGroup(v)) nowForeign.push_back(v);
    EXPECT_EQ(shape(nowForeign), shape(foreign)) << where;

    h.failing.failFrom(0);
    ASSERT_TRUE(h.profiles.RemoveFromProfile("P")) << where;
    EXPECT_EQ(shape(h.menuValues()), expected) << where;
    EXPECT_EQ(shape(readValues(*h.file, kToolbars)), shape({szValue("ACLT.Draw", "z")})) << where;
    h.failing.failFrom(0);
    ASSERT_TRUE(h.profiles.RemoveFromProfile("P")) << where;
    EXPECT_EQ(h.failing.changes(), 0) << where;
  }
}

TEST(HostProfiles, AddNeverWritesOverAValueOfAnotherType) {
  std::vector<Val> before = {szValue("Group1", "ACLT C:\\Aclt"),
                             Val{"Group2", platform::kRegExpandSz, sz("Mine %APPDATA%\\mine")},
                             Val{"Group7", platform::kRegDword, {7, 0, 0, 0}}};
  FaultHost h(profileText(before));
  ASSERT_TRUE(h.profiles.AddToProfile("P"));
  std::vector<Val> after = before;
  after.push_back(szValue("Group8", "Norvex_Express C:\\R\\Support\\Norvex_Express"));
  EXPECT_EQ(shape(h.menuValues()), shape(after));
  EXPECT_EQ(h.failing.changes(), 1);

  // Only values read as groups name the add-on: one of another type does not stop the add.
  FaultHost other(profileText({Val{"Group3", platform::kRegExpandSz, sz("Norvex_Express x")}}));
  ASSERT_TRUE(other.profiles.AddToProfile("P"));
  EXPECT_EQ(shape(other.menuValues()),
            shape({Val{"Group3", platform::kRegExpandSz, sz("Norvex_Express x")},
                   szValue("Group4", "Norvex_Express C:\\R\\Support\\Norvex_Express")}));
}

TEST(HostProfiles, RemoveRenumbersAroundValuesOfAnotherType) {
  std::vector<Val> before = {
      Val{"Group1", platform::kRegExpandSz, sz("Mine %APPDATA%\\mine")},
      szValue("Group2", "Norvex_Express old"), szValue("Group3", "ACLT C:\\Aclt"),
      Val{"Group4", platform::kRegBinary, {1, 2}}, szValue("Group6", "Other C:\\Other")};
  FaultHost h(profileText(before));
  ASSERT_TRUE(h.profiles.RemoveFromProfile("P"));
  EXPECT_EQ(shape(h.menuValues()), shape({before[0], before[3], szValue("Group2", "ACLT C:\\Aclt"),
                                          szValue("Group3", "Other C:\\Other")}));
  checkRemovalUnderFaults(before, "other types");
}

TEST(HostProfiles, RemoveLosesNoGroupWhereverItFails) {
  // Old Group2 goes to Group1 and old Group1 to Group2: a cycle.
  checkRemovalUnderFaults(
      {szValue("Group2", "A a"), szValue("Group1", "B b"), szValue("Group3", "Norvex_Express x")},
      "cycle");
  checkRemovalUnderFaults({szValue("Group3", "A a"), szValue("Group1", "B b"),
                           szValue("Group2", "C c"), szValue("Group4", "NORVEX_EXPRESS x")},
                          "three-cycle");
  checkRemovalUnderFaults(
      {szValue("Group1", "ACLT C:\\Support\\aclt"), szValue("Group2", "Norvex_Express old"),
       szValue("Group3", "Other C:\\Other")},
      "add-on between");
  checkRemovalUnderFaults({szValue("Group1", "Norvex_Express a"), szValue("Group2", "A"),
                           szValue("Group3", "norvex_express b"), szValue("MyGroupX", "B")},
                          "two add-on values");
  checkRemovalUnderFaults({szValue("Group5", "A"), szValue("Group9", "Norvex_Express a"),
                           szValue("group7", "B"), szValue("Group1", "A")},
                          "copy of a group");
  checkRemovalUnderFaults({szValue("group1", "A"), szValue("Group2", "Norvex_Express")},
                          "already in place");
}

TEST(HostProfiles, RemoveLosesNoGroupInRandomKeys) {
  const char* names[] = {"Group1",  "Group2", "GROUP3",   "group4",  "Group5",
                         "Group6",  "Group9", "MyGroupX", "Group",   "Group 4",
                         "Group-2", "Other",  "Group12",  "xgroup2y"};
  const char* texts[] = {"A C:\\a",          "B C:\\b", "C", "Norvex_Express old",
                         "NORVEX_EXPRESS x", "D d",     ""};
  for (unsigned seed = 1; seed <= 150; ++seed) {
    std::mt19937 random(seed);
    std::vector<Val> values;
    std::set<std::string> used;
    int count = static_cast<int>(random() % 8);
    for (int i = 0; i < count; ++i) {
      std::string name = names[random() % (sizeof names / sizeof *names)];
      if (!used.insert(lowerAscii(name)).second) continue;
      std::string text = texts[random() % (sizeof texts / sizeof *texts)];
      switch (random() % 6) {
        case 0:
          values.push_back(Val{name, platform::kRegExpandSz, sz(text)});
          break;
        case 1:
          values.push_back(Val{name,
                               random() % 2 ? platform::kRegDword : platform::kRegBinary,
                               {static_cast<unsigned char>(i), 0, 0, 0}});
          break;
        default:
          values.push_back(szValue(name, text));
      }
    }
    if (random() % 4) {  // mostly with the add-on somewhere, in its folder or an earlier one
      std::string name = "Group" + std::to_string(random() % 10);
      if (used.insert(lowerAscii(name)).second)
        values.insert(values.begin() + random() % (values.size() + 1),
                      szValue(name, random() % 2 ? kAddOnData : kMovedData));
    }
    checkRemovalUnderFaults(values, "seed " + std::to_string(seed));
    if (HasFatalFailure() || HasNonfatalFailure()) break;

    // An add writes over no other value: the first of its own values (as an add writes them)
    // keeps its name and gets the current folder, later ones go; without one, a value naming
    // the add-on is left alone, else the new one takes a name past every number in the names.
    FaultHost add(profileText(values));
    ASSERT_TRUE(add.profiles.AddToProfile("P"));
    std::vector<Val> after = add.menuValues();
    if (std::any_of(values.begin(), values.end(), namesAddOn)) {
      std::vector<Val> expected;
      bool first = true;
      for (Val v : values) {
        const bool own = isGroup(v) && (v.data == sz(kAddOnData) || v.data == sz(kMovedData));
        if (own && !first) continue;
        if (own) v.data = sz(kAddOnData);
        first = first && !own;
        expected.push_back(v);
      }
      EXPECT_EQ(shape(after), shape(expected)) << seed;
    } else {
      ASSERT_EQ(after.size(), values.size() + 1) << seed;
      EXPECT_EQ(shape({after.begin(), after.end() - 1}), shape(values)) << seed;
      for (const Val& v : values)
        EXPECT_NE(lowerAscii(v.name), lowerAscii(after.back().name)) << seed;
    }
  }
}

// Registry-form profiles: status, dry run and real run agree, the dry run and the status
// change nothing, and a failing write names the registry.
TEST(HostProfiles, RegistryFormResultsDryRunsAndStatus) {
  using R = ProfileResult;
  using S = ProfileState;
  const std::string text = host(
      "",
      menus("Full", "\"Group1\"=\"Norvex_Express C:/r\\\\SUPPORT\\\\Norvex_Express\"\r\n") +
          menus("Moved",
                "\"Group1\"=\"A\"\r\n\"Group2\"=\"Norvex_Express D:\\\\R\\\\Norvex_Express\"\r\n") +
          menus("Twice", "\"Group1\"=\"Norvex_Express D:\\\\Norvex_Express\"\r\n\"Group2\"=\"" +
                             test_support::registryEscaped(kAddOnData) + "\"\r\n") +
          // A group of the user's that only names the add-on: not ours to rewrite.
          menus("Tools", "\"Group1\"=\"Tools D:\\\\Norvex_Express_Tools\\\\tools\"\r\n") +
          menus("Empty", "\"Group1\"=\"ACLT C:\\\\A\"\r\n") + "[" + kHost +
          "\\Profiles\\Leftover\\Toolbars]\r\n\"NORVEX_EXPRESS.TB1\"=\"x\"\r\n\r\n[" + kHost +
          "\\Profiles\\Bare]\r\n\r\n");
  struct Case {
    const char* profile;
    S state;
    R add, remove;
  } cases[] = {{"Full", S::kPresent, R::kAlreadyAsAsked, R::kRemoved},
               {"Moved", S::kPartial, R::kAdded, R::kRemoved},
               {"Twice", S::kPartial, R::kAdded, R::kRemoved},
               {"Tools", S::kPresent, R::kAlreadyAsAsked, R::kRemoved},
               {"Empty", S::kAbsent, R::kAdded, R::kAlreadyAsAsked},
               {"Leftover", S::kPartial, R::kNoMenusKey, R::kRemoved},
               {"Bare", S::kAbsent, R::kNoMenusKey, R::kAlreadyAsAsked}};
  for (const Case& c : cases) {
    for (ProfileMode mode : {ProfileMode::kAdd, ProfileMode::kRemove}) {
      Host h(text);
      ProfileReport report;
      EXPECT_EQ(h.profiles.Status(c.profile, &report), R::kAlreadyAsAsked) << c.profile;
      EXPECT_EQ(report.state, c.state) << c.profile;
      EXPECT_EQ(report.reason == R::kMovedReference,
                std::string(c.profile) == "Moved" || std::string(c.profile) == "Twice");
      EXPECT_EQ(report.target, std::string(kHost) + "\\Profiles\\" + c.profile + "\\Menus");
      const R expected = mode == ProfileMode::kAdd ? c.add : c.remove;
      EXPECT_EQ(h.profiles.Update(c.profile, mode, true, &report), expected) << c.profile;
      EXPECT_EQ(h.file->toText(), text) << c.profile;
      EXPECT_EQ(h.profiles.Update(c.profile, mode, false, &report), expected) << c.profile;
      EXPECT_EQ(h.profiles.Status(c.profile, &report), R::kAlreadyAsAsked);
      EXPECT_EQ(report.state, profileResultDone(expected) && mode == ProfileMode::kAdd ? S::kPresent
                              : profileResultDone(expected)                            ? S::kAbsent
                                                                                       : c.state)
          << c.profile;
    }
  }
  FaultHost failing(text);
  failing.failing.failFrom(1);
  ProfileReport report;
  // The faults are denied writes: the key is read-only to us.
  EXPECT_EQ(failing.profiles.Update("Empty", ProfileMode::kAdd, false, &report), R::kReadOnly);
  EXPECT_EQ(failing.profiles.Update("Full", ProfileMode::kRemove, false, &report),
            R::kRegistryFailed);
  EXPECT_EQ(failing.profiles.Update("Nobody", ProfileMode::kAdd, false, &report), R::kNoMenusKey);
  EXPECT_EQ(
      failing.profiles.Update(std::string(300, 'p').c_str(), ProfileMode::kAdd, false, &report),
      R::kProfileNameTooLong);
}

}  // namespace
