#include "platform/registry_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/text_utf.h"
#include "tests/support/test_files.h"

using namespace platform;
using namespace test_support;

namespace {

const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string querySz(Registry& r, RegRoot root, const char* path, const char* name,
                    std::uint32_t access = kKeyRead) {
  RegKey key;
  if (r.openKey(root, path, access, &key) != 0) return "<no key>";
  char buffer[256];
  std::uint32_t size = sizeof buffer, type = 0;
  long rc = r.queryValue(key, name, &type, reinterpret_cast<unsigned char*>(buffer), &size);
  r.closeKey(key);
  if (rc != 0) return "<" + std::to_string(rc) + ">";
  return std::string(buffer, size ? size - 1 : 0);
}

}  // namespace

TEST(RegistryFile, ParsesValuesOfEveryKindAndRoundTrips) {
  std::string text = kHead +
                     "[HKEY_CURRENT_USER\\Software\\Vendor]\r\n"
                     "\"Path\"=\"C:\\\\Program Files\\\\A \\\"quoted\\\"\"\r\n"
                     "@=\"default\"\r\n"
                     "\"Count\"=dword:0000002a\r\n"
                     "\"Blob\"=hex:01,02,\\\r\n  ff\r\n"
                     "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                     "\"Odd\"=hex(123):de,ad\r\n\r\n";
  auto r = RegistryFile::fromText(text);
  ASSERT_TRUE(r->valid());
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "Software\\Vendor", "Path"),
            "C:\\Program Files\\A \"quoted\"");
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "Software\\Vendor", ""), "default");

  RegKey key;
  ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "Software\\Vendor", kKeyRead, &key), 0);
  unsigned char data[16];
  std::uint32_t type, size = sizeof data;
  ASSERT_EQ(r->queryValue(key, "Count", &type, data, &size), 0);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(data[0], 0x2a);
  size = sizeof data;
  ASSERT_EQ(r->queryValue(key, "Blob", &type, data, &size), 0);
  EXPECT_EQ(type, kRegBinary);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(data[2], 0xff);
  size = sizeof data;
  ASSERT_EQ(r->queryValue(key, "Odd", &type, data, &size), 0);
  EXPECT_EQ(type, 0x123u);
  r->closeKey(key);

  // Serialised and read again, every value is the same.
  auto again = RegistryFile::fromText(r->toText());
  ASSERT_TRUE(again->valid());
  EXPECT_EQ(again->toText(), r->toText());
  EXPECT_NE(r->toText().find("hex(7):61,00,62,00,00"), std::string::npos);
  EXPECT_NE(r->toText().find("hex(123):de,ad"), std::string::npos);
}

TEST(RegistryFile, DeletionsNamesCaseAndOrder) {
  std::string text = kHead +
                     "[HKEY_CURRENT_USER\\Software\\Zeta]\r\n\"A\"=\"1\"\r\n"
                     "[HKEY_CURRENT_USER\\Software\\alpha]\r\n\"Keep\"=\"k\"\r\n\"Gone\"=\"g\"\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Mid]\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Dropped\\Deep]\r\n"
                     "[-HKEY_CURRENT_USER\\Software\\DROPPED]\r\n"
                     "[-HKEY_CURRENT_USER\\Software\\Never\\There]\r\n"
                     "[HKEY_CURRENT_USER\\Software\\ALPHA]\r\n\"gone\"=-\r\n";
  auto r = RegistryFile::fromText(text);
  ASSERT_TRUE(r->valid());
  RegKey key;
  ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "SOFTWARE", kKeyRead, &key), 0);
  std::vector<std::string> names;
  char name[64];
  std::uint32_t index = 0, size = sizeof name;
  while (r->enumKey(key, index, name, &size) == 0) {
    names.push_back(name);
    ++index;
    size = sizeof name;
  }
  EXPECT_EQ(r->enumKey(key, index, name, &size), kErrorNoMoreItems);
  r->closeKey(key);
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "software\\ALPHA", "KEEP"), "k");
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "Software\\alpha", "Gone"), "<2>");
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "Software\\Dropped\\Deep", "x"), "<no key>");
  // The written case is kept.
  EXPECT_NE(r->toText().find("[HKEY_CURRENT_USER\\Software\\alpha]"), std::string::npos);
}

TEST(RegistryFile, ViewsOfTheMachineSoftwareKey) {
  std::string text = kHead +
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\"Where\"=\"64\"\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor]\r\n\"Where\"=\"32\"\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Vendor]\r\n\"Where\"=\"user\"\r\n";
  auto r = RegistryFile::fromText(text);
  const RegRoot lm = RegRoot::kLocalMachine, cu = RegRoot::kCurrentUser;
  EXPECT_EQ(querySz(*r, lm, "Software\\Vendor", "Where"), "64");
  EXPECT_EQ(querySz(*r, lm, "Software\\Vendor", "Where", kKeyRead | kKeyWow64_64Key), "64");
  EXPECT_EQ(querySz(*r, lm, "software\\Vendor", "Where", kKeyRead | kKeyWow64_32Key), "32");
  EXPECT_EQ(querySz(*r, lm, "Software\\WOW6432Node\\Vendor", "Where", kKeyRead | kKeyWow64_32Key),
            "32");
  EXPECT_EQ(querySz(*r, cu, "Software\\Vendor", "Where", kKeyRead | kKeyWow64_32Key), "user");
  EXPECT_EQ(querySz(*r, cu, "Software\\Vendor", "Where", kKeyRead | kKeyWow64_64Key), "user");
}

TEST(RegistryFile, ErrorCodesAndBufferBoundaries) {
  auto r = RegistryFile::fromText(kHead +
                                  "[HKEY_CURRENT_USER\\K]\r\n\"Name\"=\"abcd\"\r\n"
                                  "[HKEY_CURRENT_USER\\K\\Child]\r\n");
  RegKey key;
  EXPECT_EQ(r->openKey(RegRoot::kCurrentUser, "Missing", kKeyRead, &key), kErrorFileNotFound);
  ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyRead, &key), 0);

  std::uint32_t size = 0, type = 0;
  EXPECT_EQ(r->queryValue(key, "name", &type, nullptr, &size), 0);
  EXPECT_EQ(size, 5u);  // the terminating zero counts
  unsigned char data[8];
  size = 5;
  EXPECT_EQ(r->queryValue(key, "Name", &type, data, &size), 0);
  EXPECT_EQ(std::memcmp(data, "abcd", 5), 0);
  size = 4;
  EXPECT_EQ(r->queryValue(key, "Name", &type, data, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(r->queryValue(key, "Other", &type, data, &size), kErrorFileNotFound);

  char name[8];
  std::uint32_t nameSize = 5;  // "Child" needs 6 with its terminator
  EXPECT_EQ(r->enumKey(key, 0, name, &nameSize), kErrorMoreData);
  nameSize = 6;
  EXPECT_EQ(r->enumKey(key, 0, name, &nameSize), 0);
  EXPECT_EQ(nameSize, 5u);
  EXPECT_STREQ(name, "Child");
  EXPECT_EQ(r->enumKey(key, 1, name, &nameSize), kErrorNoMoreItems);

  nameSize = 4;
  std::uint32_t dataSize = sizeof data;
  EXPECT_EQ(r->enumValue(key, 0, name, &nameSize, &type, data, &dataSize), kErrorMoreData);
  nameSize = 5;
  dataSize = 4;
  EXPECT_EQ(r->enumValue(key, 0, name, &nameSize, &type, data, &dataSize), kErrorMoreData);
  EXPECT_EQ(dataSize, 5u);
  nameSize = 5;
  dataSize = 5;
  EXPECT_EQ(r->enumValue(key, 0, name, &nameSize, &type, data, &dataSize), 0);
  EXPECT_STREQ(name, "Name");
  EXPECT_EQ(r->enumValue(key, 1, name, &nameSize, &type, data, &dataSize), kErrorNoMoreItems);

  const unsigned char value[] = "x";
  EXPECT_EQ(r->setValue(key, "New", kRegSz, value, 2), kErrorAccessDenied);
  EXPECT_EQ(r->deleteValue(key, "Name"), kErrorAccessDenied);
  r->closeKey(key);
  EXPECT_EQ(r->queryValue(key, "Name", &type, data, &size), kErrorInvalidHandle);

  ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
  EXPECT_EQ(r->deleteValue(key, "Missing"), kErrorFileNotFound);
  EXPECT_EQ(r->setValue(key, "New", kRegSz, value, 2), 0);
  EXPECT_EQ(r->deleteValue(key, "NAME"), 0);
  r->closeKey(key);
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "new"), "x");
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "Name"), "<2>");
}

TEST(RegistryFile, MalformedTextIsRefused) {
  const char* bad[] = {
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n",
      "Windows Registry Editor Version 5.00\r\n\"orphan\"=\"value\"\r\n",
      "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A\r\n",
      "Windows Registry Editor Version 5.00\r\n[HKEY_CLASSES_ROOT\\A]\r\n",
      "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=dword:xyz\r\n",
      "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:1,2\r\n",
      "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"open\r\n",
  };
  for (const char* text : bad) {
    auto r = RegistryFile::fromText(text);
    EXPECT_FALSE(r->valid()) << text;
    RegKey key;
    EXPECT_NE(r->openKey(RegRoot::kCurrentUser, "A", kKeyRead, &key), 0) << text;
  }
}

TEST(RegistryFile, FileEncodingsAreKeptOnWriteBack) {
  TempFolder dir;
  const std::string body = kHead + "[HKEY_CURRENT_USER\\K]\r\n\"N\"=\"\xc5\xa1\"\r\n\r\n";
  std::string utf16;
  ASSERT_TRUE(utf8ToUtf16le(body, &utf16));
  struct Case {
    const char* label;
    std::string bytes;
    std::string prefix;
  } cases[] = {
      {"utf8", body, ""},
      {"utf8 bom", "\xEF\xBB\xBF" + body, "\xEF\xBB\xBF"},
      {"utf16", "\xFF\xFE" + utf16, "\xFF\xFE"},
  };
  for (const Case& c : cases) {
    std::string path = dir.path() + "/" + c.label + ".reg";
    writeFile(path, c.bytes);
    {
      auto r = RegistryFile::fromFile(path);
      ASSERT_TRUE(r->valid()) << c.label;
      EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "N"), "\xc5\xa1") << c.label;
      RegKey key;
      ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
      const unsigned char v[] = "2";
      ASSERT_EQ(r->setValue(key, "M", kRegSz, v, 2), 0);
      r->closeKey(key);
    }
    std::string written = readFile(path);
    EXPECT_EQ(written.compare(0, c.prefix.size(), c.prefix), 0) << c.label;
    if (c.prefix.empty()) {
      EXPECT_NE(written.substr(0, 3), "\xEF\xBB\xBF");
    }
    auto back = RegistryFile::fromFile(path);
    EXPECT_EQ(querySz(*back, RegRoot::kCurrentUser, "K", "N"), "\xc5\xa1") << c.label;
    EXPECT_EQ(querySz(*back, RegRoot::kCurrentUser, "K", "M"), "2") << c.label;
  }
}

// A registry file written by somebody else since it was read or last written by the run is
// kept: the change fails with kErrorChangedDuringRun and is not made in memory either.
TEST(RegistryFile, AFileChangedSinceItWasReadIsNotWrittenOver) {
  TempFolder dir;
  const unsigned char v[] = "2";
  for (bool existed : {true, false}) {
    const std::string path = dir.path() + (existed ? "/old.reg" : "/new.reg");
    const std::string theirs =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n";
    if (existed)
      writeFile(path, "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n");
    auto r = RegistryFile::fromFile(path);
    RegKey key;
    ASSERT_EQ(r->createKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
    ASSERT_EQ(r->setValue(key, "A", kRegSz, v, 2), 0) << existed;  // its own writes go on
    usleep(20000);
    writeFile(path, theirs);
    EXPECT_EQ(r->setValue(key, "B", kRegSz, v, 2), kErrorChangedDuringRun) << existed;
    EXPECT_EQ(r->deleteValue(key, "A"), kErrorChangedDuringRun) << existed;
    EXPECT_EQ(readFile(path), theirs) << existed;
    EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "A"), "2") << existed;
    r->closeKey(key);
  }
}

TEST(RegistryFile, WritesOnlyAfterAChangeAndNeverOverAMalformedFile) {
  TempFolder dir;
  // Reading alone leaves the file exactly as written (LF line ends, comments and all).
  std::string path = dir.path() + "/plain.reg";
  std::string original =
      "Windows Registry Editor Version 5.00\n; note\n[HKEY_CURRENT_USER\\K]\n\"N\"=\"v\"\n";
  writeFile(path, original);
  {
    auto r = RegistryFile::fromFile(path);
    EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "N"), "v");
    RegKey key;
    ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
    EXPECT_EQ(r->deleteValue(key, "absent"), kErrorFileNotFound);
    r->closeKey(key);
  }
  EXPECT_EQ(readFile(path), original);

  std::string broken = dir.path() + "/broken.reg";
  std::string junk = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K\n\"N\"=\"v\"\n";
  writeFile(broken, junk);
  {
    auto r = RegistryFile::fromFile(broken);
    EXPECT_FALSE(r->valid());
    RegKey key;
    EXPECT_NE(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
  }
  EXPECT_EQ(readFile(broken), junk);

  // A missing file is an empty registry, created with its folder on first write.
  std::string fresh = dir.path() + "/new/sub/registry.reg";
  auto r = RegistryFile::fromFile(fresh);
  EXPECT_TRUE(r->valid());
  RegKey key;
  EXPECT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_EQ(access(fresh.c_str(), F_OK), -1);
}

TEST(RegistryFile, FailedWriteBackKeepsMemoryAndFileAsTheyWere) {
  TempFolder dir;
  // The target is a directory, so the replacement cannot happen.
  std::string path = dir.path() + "/registry.reg";
  writeFile(path, kHead + "[HKEY_CURRENT_USER\\K]\r\n\"N\"=\"v\"\r\n");
  auto r = RegistryFile::fromFile(path);
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  RegKey key;
  ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
  const unsigned char v[] = "w";
  EXPECT_NE(r->setValue(key, "N", kRegSz, v, 2), 0);
  EXPECT_NE(r->deleteValue(key, "N"), 0);
  r->closeKey(key);
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "N"), "v");
}

TEST(RegistryFile, SystemRegistryFollowsTheEnvironment) {
  TempFolder dir;
  std::string path = dir.path() + "/chosen.reg";
  setenv("NORVEX_EXPRESS_REGISTRY", path.c_str(), 1);
  EXPECT_EQ(registryFilePath(), path);
  unsetenv("NORVEX_EXPRESS_REGISTRY");
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(registryFilePath(), dir.path() + "/norvex-express/registry.reg");
  unsetenv("XDG_CONFIG_HOME");
}

TEST(RegistryFile, AwkwardTextSurvivesTheFile) {
  TempFolder dir;
  std::string path = dir.path() + "/registry.reg";
  std::string utf16;
  ASSERT_TRUE(utf8ToUtf16le(kHead + "[HKEY_CURRENT_USER\\K]\r\n", &utf16));
  writeFile(path, "\xFF\xFE" + utf16);
  const std::string texts[] = {"two\r\nlines", "bare\nfeed", "not utf-8 \xff\xfe", "=\"x\"\\"};
  {
    auto r = RegistryFile::fromFile(path);
    RegKey key;
    ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
    for (size_t i = 0; i < 4; ++i) {
      std::string name = "v" + std::to_string(i);
      EXPECT_EQ(r->setValue(key, name.c_str(), kRegSz,
                            reinterpret_cast<const unsigned char*>(texts[i].c_str()),
                            static_cast<std::uint32_t>(texts[i].size() + 1)),
                0)
          << i;
    }
    const unsigned char v[] = "x";
    EXPECT_EQ(r->setValue(key, "bad\nname", kRegSz, v, 2), kErrorInvalidParameter);
    r->closeKey(key);
  }
  auto back = RegistryFile::fromFile(path);
  ASSERT_TRUE(back->valid());
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(querySz(*back, RegRoot::kCurrentUser, "K", ("v" + std::to_string(i)).c_str()),
              texts[i]);
  EXPECT_EQ(querySz(*back, RegRoot::kCurrentUser, "K", "bad\nname"), "<2>");
}

namespace {

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end + 1 - start));
    start = end + 1;
  }
  return lines;
}

// Every key and value of the registry, in enumeration order, as text.
void dumpKey(Registry& r, RegRoot root, const std::string& path, std::string* out) {
  RegKey key;
  if (r.openKey(root, path.c_str(), kKeyRead, &key) != 0) {
    *out += "<cannot open " + path + ">";
    return;
  }
  *out += "[" + path + "]\n";
  for (std::uint32_t index = 0;; ++index) {
    char name[256];
    unsigned char data[256];
    std::uint32_t nameSize = sizeof name, dataSize = sizeof data, type = 0;
    if (r.enumValue(key, index, name, &nameSize, &type, data, &dataSize) != 0) break;
    *out += std::string(name, nameSize) + ":" + std::to_string(type) + "=" +
            std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
  }
  std::vector<std::string> subkeys;
  for (std::uint32_t index = 0;; ++index) {
    char name[256];
    std::uint32_t size = sizeof name;
    if (r.enumKey(key, index, name, &size) != 0) break;
    subkeys.emplace_back(name, size);
  }
  r.closeKey(key);
  for (const auto& sub : subkeys) dumpKey(r, root, path.empty() ? sub : path + "\\" + sub, out);
}

std::string dump(Registry& r) {
  std::string out;
  dumpKey(r, RegRoot::kLocalMachine, "", &out);
  dumpKey(r, RegRoot::kCurrentUser, "", &out);
  return out;
}

// A file with comments (before the header too), root keys' values, continued lines, deletion
// lines, a key in two sections and blank lines here and there.
std::string richFile(const std::string& eol) {
  const char* lines[] = {
      "; exported by hand",
      "Windows Registry Editor Version 5.00",
      "",
      "; machine-wide",
      "[HKEY_LOCAL_MACHINE]",
      "\"RootMachine\"=\"m\"",
      "",
      "[HKEY_CURRENT_USER]",
      "\"RootUser\"=\"u\"",
      "@=\"default\"",
      "",
      "[HKEY_CURRENT_USER\\Software\\Vendor]",
      "; the path below is Jana's",
      "\"Path\"=\"C:\\\\old\"",
      "\"Blob\"=hex:01,02,\\",
      "  03",
      "\"Count\"=dword:00000001",
      "; a note at the end of the section",
      "",
      "[HKEY_CURRENT_USER\\Software\\Other]",
      "\"Gone\"=-",
      "\"Twice\"=\"first\"",
      "[-HKEY_CURRENT_USER\\Software\\Nothing]",
      "[HKEY_CURRENT_USER\\Software\\Other]",
      "\"Twice\"=\"second\"",
      "\"Keep\"=\"k\"",
      "",
  };
  std::string text;
  for (const char* line : lines) text += line + eol;
  return text;
}

long setSz(Registry& r, RegRoot root, const char* path, const char* name, const std::string& text) {
  RegKey key;
  long rc = r.openKey(root, path, kKeyAllAccess, &key);
  if (rc) return rc;
  rc = r.setValue(key, name, kRegSz, reinterpret_cast<const unsigned char*>(text.c_str()),
                  static_cast<std::uint32_t>(text.size() + 1));
  r.closeKey(key);
  return rc;
}

long remove(Registry& r, RegRoot root, const char* path, const char* name) {
  RegKey key;
  long rc = r.openKey(root, path, kKeyAllAccess, &key);
  if (rc) return rc;
  rc = r.deleteValue(key, name);
  r.closeKey(key);
  return rc;
}

}  // namespace

TEST(RegistryFile, WriteBackKeepsEveryOtherLineAsRead) {
  TempFolder dir;
  const RegRoot cu = RegRoot::kCurrentUser, lm = RegRoot::kLocalMachine;
  for (const std::string eol : {"\r\n", "\n"}) {
    const std::string original = richFile(eol);
    const std::vector<std::string> before = splitLines(original);
    std::string path = dir.path() + "/rich.reg";

    // One value changed: its line alone changes, in place.
    writeFile(path, original);
    {
      auto r = RegistryFile::fromFile(path);
      ASSERT_TRUE(r->valid());
      EXPECT_EQ(querySz(*r, cu, "", "RootUser"), "u");
      EXPECT_EQ(querySz(*r, cu, "", ""), "default");
      EXPECT_EQ(querySz(*r, lm, "", "RootMachine"), "m");
      ASSERT_EQ(setSz(*r, cu, "Software\\Vendor", "PATH", "C:\\new"), 0);
    }
    std::vector<std::string> after = splitLines(readFile(path));
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
      EXPECT_EQ(after[i], i == 13 ? "\"Path\"=\"C:\\\\new\"" + eol : before[i]) << i;
    {
      auto back = RegistryFile::fromFile(path);
      EXPECT_EQ(querySz(*back, cu, "Software\\Vendor", "Path"), "C:\\new");
      EXPECT_EQ(querySz(*back, cu, "", "RootUser"), "u");
      EXPECT_EQ(querySz(*back, lm, "", "RootMachine"), "m");
    }

    // Values on the root keys change in place too; a deleted value loses every line that set
    // it; new values go after their key's last section's last line, or into a new section.
    writeFile(path, original);
    {
      auto r = RegistryFile::fromFile(path);
      ASSERT_EQ(setSz(*r, cu, "", "RootUser", "u2"), 0);
      ASSERT_EQ(remove(*r, cu, "Software\\Other", "twice"), 0);
      ASSERT_EQ(setSz(*r, cu, "Software\\Vendor", "New", "n"), 0);
      ASSERT_EQ(setSz(*r, lm, "", "NewMachine", "nm"), 0);
      ASSERT_EQ(setSz(*r, cu, "Software", "Fresh", "f"), 0);
      const std::string made = r->toText();
      EXPECT_EQ(readFile(path), made);
      std::vector<std::string> expected = before;
      expected.pop_back();  // the empty rest after the last line end
      expected[8] = "\"RootUser\"=\"u2\"" + eol;
      expected.erase(expected.begin() + 24);  // "Twice"="second"
      expected.erase(expected.begin() + 21);  // "Twice"="first"
      expected.insert(expected.begin() + 17, "\"New\"=\"n\"" + eol);
      expected.insert(expected.begin() + 6, "\"NewMachine\"=\"nm\"" + eol);
      // The file ends in a blank line already: the new section follows it.
      for (const char* line : {"[HKEY_CURRENT_USER\\Software]", "\"Fresh\"=\"f\"", ""})
        expected.push_back(line + eol);
      expected.push_back("");
      EXPECT_EQ(splitLines(made), expected);
      auto back = RegistryFile::fromText(made);
      ASSERT_TRUE(back->valid());
      EXPECT_EQ(dump(*back), dump(*r));
      EXPECT_EQ(querySz(*back, cu, "Software\\Other", "Twice"), "<2>");
    }
  }
}

TEST(RegistryFile, RandomChangesReadBackAsMade) {
  const std::string paths[] = {"", "Software", "Software\\Vendor", "Software\\Other"};
  const std::string names[] = {"",      "RootUser", "Path", "Blob", "count",
                               "Twice", "Keep",     "Gone", "New"};
  for (unsigned seed = 1; seed <= 200; ++seed) {
    std::mt19937 random(seed);
    auto r = RegistryFile::fromText(richFile(seed % 2 ? "\r\n" : "\n"));
    ASSERT_TRUE(r->valid());
    int steps = 1 + static_cast<int>(random() % 12);
    for (int step = 0; step < steps; ++step) {
      const std::string& path = paths[random() % 4];
      const std::string& name = names[random() % 9];
      RegRoot root = random() % 5 ? RegRoot::kCurrentUser : RegRoot::kLocalMachine;
      if (random() % 3)
        setSz(*r, root, path.c_str(), name.c_str(), "v" + std::to_string(step));
      else
        remove(*r, root, path.c_str(), name.c_str());
      auto back = RegistryFile::fromText(r->toText());
      ASSERT_TRUE(back->valid()) << seed << " " << step;
      ASSERT_EQ(dump(*back), dump(*r)) << seed << " " << step << "\n" << r->toText();
      ASSERT_EQ(back->toText(), r->toText()) << seed;
    }
  }
}

TEST(RegistryFile, HivesLoadBelowUsersAndWriteBackToTheirOwnFile) {
  TempFolder dir;
  const std::string machinePath = dir.path() + "/machine.reg",
                    hivePath = dir.path() + "/NTUSER.DAT";
  const std::string machineText = kHead + "[HKEY_USERS\\S-1-5-21-1\\K]\r\n\"N\"=\"signed in\"\r\n";
  const std::string hiveText =
      kHead + "; the user's own\r\n[HKEY_CURRENT_USER\\K]\r\n\"N\"=\"v\"\r\n";
  writeFile(machinePath, machineText);
  writeFile(hivePath, hiveText);
  auto r = RegistryFile::fromFile(machinePath);
  EXPECT_EQ(querySz(*r, RegRoot::kUsers, "S-1-5-21-1\\K", "N"), "signed in");
  EXPECT_EQ(r->loadHive("S-1-5-21-1", hivePath.c_str()), kErrorAlreadyExists);
  EXPECT_EQ(r->loadHive("Away", (dir.path() + "/none").c_str()), kErrorFileNotFound);
  writeFile(dir.path() + "/junk", "not a registry");
  EXPECT_EQ(r->loadHive("Away", (dir.path() + "/junk").c_str()), kErrorBadDatabase);
  EXPECT_EQ(r->loadHive("Away", dir.path().c_str()), kErrorBadDatabase);

  ASSERT_EQ(r->loadHive("Away", hivePath.c_str()), kErrorSuccess);
  EXPECT_EQ(r->loadHive("away", hivePath.c_str()), kErrorAlreadyExists);
  EXPECT_EQ(querySz(*r, RegRoot::kUsers, "away\\K", "N"), "v");
  RegKey key;
  ASSERT_EQ(r->openKey(RegRoot::kUsers, "Away\\K", kKeyAllAccess, &key), 0);
  const unsigned char value[] = "changed";
  EXPECT_EQ(r->setValue(key, "N", kRegSz, value, sizeof value), 0);
  EXPECT_EQ(r->setValue(key, "New", kRegSz, value, sizeof value), 0);
  EXPECT_EQ(r->unloadHive("Away"), kErrorAccessDenied) << "a key of it is open";
  EXPECT_EQ(r->closeKey(key), 0);
  EXPECT_EQ(r->unloadHive("Away"), kErrorSuccess);
  EXPECT_EQ(r->unloadHive("Away"), kErrorInvalidParameter);
  EXPECT_EQ(querySz(*r, RegRoot::kUsers, "Away\\K", "N"), "<no key>");

  EXPECT_EQ(readFile(machinePath), machineText);
  EXPECT_EQ(readFile(hivePath), kHead +
                                    "; the user's own\r\n[HKEY_CURRENT_USER\\K]\r\n"
                                    "\"N\"=\"changed\"\r\n\"New\"=\"changed\"\r\n");
  // Loaded again, the hive reads as it was written.
  ASSERT_EQ(r->loadHive("Again", hivePath.c_str()), kErrorSuccess);
  EXPECT_EQ(querySz(*r, RegRoot::kUsers, "Again\\K", "New"), "changed");
  EXPECT_EQ(r->unloadHive("Again"), kErrorSuccess);
}

TEST(RegistryFile, ExpandableStringsAreUtf16InTheFileAndTextToCallers) {
  std::string wide;
  ASSERT_TRUE(utf8ToUtf16le(std::string("%USERPROFILE%\\Plocha \xC5\x99") + '\0', &wide));
  std::string hex;
  for (unsigned char c : wide) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x,", c);
    hex += byte;
  }
  hex.pop_back();
  std::string text = kHead + "[HKEY_CURRENT_USER\\K]\r\n\"Path\"=hex(2):" + hex +
                     "\r\n\"Raw\"=hex(2):01,02,03\r\n";
  auto r = RegistryFile::fromText(text);
  EXPECT_EQ(querySz(*r, RegRoot::kCurrentUser, "K", "Path"), "%USERPROFILE%\\Plocha \xC5\x99");
  EXPECT_EQ(r->toText(), text) << "read alone, nothing changes";
  RegKey key;
  ASSERT_EQ(r->openKey(RegRoot::kCurrentUser, "K", kKeyAllAccess, &key), 0);
  const unsigned char value[] = "%TEMP%";
  ASSERT_EQ(r->setValue(key, "Path", kRegExpandSz, value, sizeof value), 0);
  r->closeKey(key);
  EXPECT_NE(r->toText().find("\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"),
            std::string::npos)
      << r->toText();
  EXPECT_NE(r->toText().find("\"Raw\"=hex(2):01,02,03"), std::string::npos);
}
