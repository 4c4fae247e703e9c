#include "package/package_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "document/xml_file.h"
#include "package/customization_file.h"
#include "package/extra_data.h"
#include "package/zip_entry.h"
#include "platform/ascii_text.h"
#include "profiles/customization_failure.h"
#include "tests/support/allocation_faults.h"
#include "tests/support/test_files.h"

namespace {

using test_support::readFile;
using test_support::runWithFileSizeLimit;
using test_support::writeFile;

std::set<std::string> listFolder(const std::string& folder) {
  std::vector<std::string> names = test_support::folderNames(folder);
  return std::set<std::string>(names.begin(), names.end());
}

void run(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::vector<std::string> partNames(xmlNode* root) {
  std::vector<std::string> names;
  for (xmlNode* part = root->firstChild; part; part = part->next) names.push_back(part->name);
  return names;
}

xmlNode* part(xmlNode* root, const char* name) {
  for (xmlNode* p = root->firstChild; p; p = p->next)
    if (std::strcmp(p->name, name) == 0) return p;
  return nullptr;
}

// The first element among a part's top-level nodes (the XML declaration comes before it).
xmlNode* rootElement(xmlNode* partNode) {
  for (xmlNode* n = partNode ? partNode->firstChild : nullptr; n; n = n->next)
    if (n->name && n->name[0] != '?') return n;
  return nullptr;
}

zipEntryList& entries(xmlNode* root) {
  return static_cast<extraDataZlib*>(root->extra)->list;
}

// Every member but the one named except has the same uncompressed and deflated bytes.
void expectBytesKept(const zipEntryList& original, const zipEntryList& saved, const char* except) {
  ASSERT_EQ(saved.entries.size(), original.entries.size());
  for (size_t i = 0; i < saved.entries.size(); ++i) {
    const zipEntry& a = original.entries[i];
    const zipEntry& b = saved.entries[i];
    if (except && platform::equalsIgnoringAsciiCase(a.name, except)) continue;
    SCOPED_TRACE(a.name);
    EXPECT_EQ(b.data, a.data);
    EXPECT_EQ(b.originalDeflate, a.originalDeflate);
  }
}

// Only the header becomes a tree; of the other parts the identifiers are kept.
PackageReading headerOnly() {
  static const char* const kHeader[] = {"header.CUI", nullptr};
  return PackageReading{kHeader, "UID"};
}

// Generated packages in a private folder; TMPDIR points at an empty folder of its own, so
// that every temporary file a load or save leaves behind shows up.
class PackageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/nvx_package_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    const char* fixtures = std::getenv("NVX_FIXTURES");
    std::string fixture = std::string(fixtures ? fixtures : NVX_FIXTURES_DIR) + "/cuix_fixture.py";
    run("python3 " + fixture + " corrupt " + folder_ + "/cases");
    run("python3 " + fixture + " package " + folder_ + "/full.cuix --seed 11");
    run("python3 " + fixture + " package " + folder_ + "/pictures.cuix --bitmaps 120");
  }
  static void TearDownTestSuite() { run("rm -rf " + folder_); }

  void SetUp() override {
    tmp_ = folder_ + "/tmp";
    work_ = folder_ + "/work";
    run("rm -rf " + tmp_ + " " + work_ + " && mkdir " + tmp_ + " " + work_);
    setenv("TMPDIR", tmp_.c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(listFolder(tmp_).empty()) << "temporary files left behind";
    unsetenv("TMPDIR");
  }

  // A copy of a generated package in the work folder.
  std::string copy(const std::string& from, const std::string& name) {
    std::string to = work_ + "/" + name;
    writeFile(to, readFile(folder_ + "/" + from));
    return to;
  }

  static std::string folder_;
  std::string tmp_, work_;
};
std::string PackageTest::folder_;

struct CaseRow {
  const char* name;
  const char* reason;  // the token a profile reports; null: the package loads
};

// Damaged and unusual packages: those that are refused give nothing, leave nothing and say why.
const CaseRow kCases[] = {
    {"not_a_zip", "damaged-archive"},
    {"truncated", "damaged-archive"},
    {"no_members", "malformed-package"},
    {"unsupported_method", "unsupported-compression"},
    {"empty_known_part", "malformed-document"},
    {"malformed_known_part", "malformed-document"},
    {"absurd_size", "file-too-large"},
    {"overstated_size", "damaged-archive"},
    {"member_over_limit", "file-too-large"},
    {"damaged_deflate", "damaged-archive"},
    {"encrypted_member", "unsupported-compression"},
    {"wrong_crc", "bad-crc"},
    {"damaged_stored", "bad-crc"},
    {"nul_in_name", "damaged-archive"},
    {"nul_in_comment", "damaged-archive"},
    {"case_twins", "ambiguous-part"},
    {"bad_local_header", "damaged-archive"},
    {"name_case_differs", nullptr},
    {"unknown_twins", nullptr},
    {"backslash_rels", nullptr},
    {"no_known_parts", nullptr},
    {"without_header", nullptr},
};

// The token a profile reports for a load's failure; "loads" for none.
std::string loadToken(const PackageFailure& failure) {
  return failure.failed() ? profileResultName(customizationFailure(failure)) : "loads";
}

TEST_F(PackageTest, DamagedPackagesAreRefusedForTheirReasonAndOddOnesLoad) {
  for (const CaseRow& row : kCases) {
    SCOPED_TRACE(row.name);
    std::string path = folder_ + "/cases/" + row.name + ".cuix";
    std::string before = readFile(path);
    PackageFailure failure;
    xmlNodeHolder doc(loadDocument(path.c_str(), PackageReading{}, &failure));
    EXPECT_EQ(loadToken(failure), row.reason ? row.reason : "loads");
    EXPECT_EQ(doc == nullptr, failure.failed());
    if (doc) {
      EXPECT_TRUE(isPackageDocument(doc.get()));
    }
    // Parts that are only checked are refused as parts read into trees are.
    xmlNodeHolder checked(loadDocument(path.c_str(), headerOnly(), &failure));
    EXPECT_EQ(loadToken(failure), row.reason ? row.reason : "loads");
    EXPECT_EQ(checked == nullptr, failure.failed());
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(listFolder(tmp_).empty());
  }
  // Only regular files are read: a FIFO fails at once instead of waiting for a writer.
  std::string fifo = work_ + "/fifo.cuix", folder = work_ + "/folder.cuix";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  for (const std::string& path : {fifo, folder}) {
    PackageFailure failure;
    EXPECT_EQ(loadDocument(path.c_str(), PackageReading{}, &failure), nullptr);
    EXPECT_EQ(loadToken(failure), "not-regular-file");
  }
}

TEST_F(PackageTest, PartsFollowTheTableAndEveryMemberIsHeld) {
  std::string path = copy("full.cuix", "Profile.CUIX");
  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  EXPECT_EQ(root->name, nullptr);
  // All but the relationships row: the fixture stores that member with a forward slash.
  std::vector<std::string> expected(packagePartNames, packagePartNames + 22);
  EXPECT_EQ(partNames(root.get()), expected);
  for (xmlNode* p = root->firstChild; p; p = p->next) {
    ASSERT_NE(p->firstChild, nullptr);
    ASSERT_NE(p->firstChild->extra, nullptr);
    ASSERT_EQ(p->firstChild->extra->kind, kExtraPartName);
    EXPECT_STREQ(static_cast<extraDataFileName*>(p->firstChild->extra)->entryName, p->name);
    for (xmlNode* n = p->firstChild; n; n = n->next) EXPECT_EQ(n->parent, p);
  }
  xmlNode* workspaces = rootElement(part(root.get(), "WorkspaceRoot.cui"));
  ASSERT_NE(workspaces, nullptr);
  EXPECT_STREQ(workspaces->name, "WorkspaceRoot");
  const zipEntryList& list = entries(root.get());
  EXPECT_EQ(list.entries.size(), 26u);
  const zipEntry* rels = list.findEntry("_rels/.rels");
  ASSERT_NE(rels, nullptr);
  EXPECT_EQ(rels->info.compressionMethod, 0u);
  EXPECT_FALSE(list.comment.empty());
}

TEST_F(PackageTest, PlainFilesAndPackagesAreToldApartByTheirEnding) {
  for (const char* name : {"a.cuix", "b.CUIX", "c.CuIx"}) EXPECT_TRUE(isPackagePath(name));
  for (const char* name : {"a.cui", "cuix", "a.cuixx", "a.xml", ""})
    EXPECT_FALSE(isPackagePath(name));
  std::string plain = work_ + "/plain.cui";
  writeFile(plain, "<?xml version=\"1.0\"?>\n<CustSection><Header/></CustSection>\n");
  xmlNodeHolder doc(loadDocument(plain.c_str()));
  ASSERT_TRUE(doc);
  EXPECT_FALSE(isPackageDocument(doc.get()));
  // A plain document given a package path is refused and nothing is made.
  std::string target = work_ + "/plain.cuix";
  EXPECT_EQ(saveDocument(target.c_str(), doc.get()).error, PackageError::kNotSavable);
  EXPECT_EQ(listFolder(work_), std::set<std::string>{"plain.cui"});
}

// Load and save without edits: the same members in the same order with every kept field,
// and the same bytes for members that are not parts; a second round changes nothing more.
TEST_F(PackageTest, LoadAndSaveKeepsEveryMember) {
  std::string path = copy("full.cuix", "p.cuix");
  zipEntryList original;
  ASSERT_EQ(original.readArchive(path.c_str()), ZipError::kNone);
  std::string firstSave;
  for (int round = 0; round < 2; ++round) {
    xmlNodeHolder root(loadDocument(path.c_str()));
    ASSERT_TRUE(root);
    ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
    if (round == 0) firstSave = readFile(path);
  }
  EXPECT_EQ(readFile(path), firstSave);
  EXPECT_EQ(listFolder(work_), std::set<std::string>{"p.cuix"});

  zipEntryList saved;
  ASSERT_EQ(saved.readArchive(path.c_str()), ZipError::kNone);
  EXPECT_EQ(saved.comment, original.comment);
  ASSERT_EQ(saved.entries.size(), original.entries.size());
  for (size_t i = 0; i < saved.entries.size(); ++i) {
    const zipEntry& a = original.entries[i];
    const zipEntry& b = saved.entries[i];
    SCOPED_TRACE(a.name);
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.comment, a.comment);
    EXPECT_EQ(b.localExtra, a.localExtra);
    EXPECT_EQ(b.centralExtra, a.centralExtra);
    EXPECT_EQ(b.info.internalAttributes, a.info.internalAttributes);
    EXPECT_EQ(b.info.externalAttributes, a.info.externalAttributes);
    EXPECT_EQ(b.info.dosDate, a.info.dosDate);
    EXPECT_EQ(b.info.compressionMethod, a.info.compressionMethod);
    EXPECT_EQ(b.info.versionMadeBy, a.info.versionMadeBy);
    EXPECT_EQ(b.info.flags, a.info.flags);
  }
  // Nothing was edited: parts too keep their bytes, and deflated members are not compressed
  // again.
  expectBytesKept(original, saved, nullptr);
}

TEST_F(PackageTest, OnlyTheEditedPartIsWrittenAnew) {
  std::string path = copy("full.cuix", "p.cuix");
  zipEntryList original;
  ASSERT_EQ(original.readArchive(path.c_str()), ZipError::kNone);
  {
    xmlNodeHolder root(loadDocument(path.c_str()));
    ASSERT_TRUE(root);
    xmlNode* workspaces = rootElement(part(root.get(), "WorkspaceRoot.cui"));
    ASSERT_NE(workspaces, nullptr);
    ASSERT_NE(setAttribute(workspaces, "Edited", "yes"), nullptr);
    ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
  }
  zipEntryList saved;
  ASSERT_EQ(saved.readArchive(path.c_str()), ZipError::kNone);
  expectBytesKept(original, saved, "WorkspaceRoot.cui");
  const zipEntry* edited = saved.findEntry("WorkspaceRoot.cui");
  ASSERT_NE(edited, nullptr);
  std::string text(edited->data.begin(), edited->data.end());
  EXPECT_NE(text.find("Edited=\"yes\""), std::string::npos);
}

// An edit that gives back the text the member holds leaves the member as it was read: here
// deflated at another level than a save deflates.
TEST_F(PackageTest, AnEditGivingBackTheSameTextKeepsTheMember) {
  std::string text;
  {
    const std::string source =
        "<WorkspaceRoot Name=\"A\"><Workspace><Name>A</Name></Workspace>"
        "</WorkspaceRoot>";
    xmlNodeHolder document(parseXmlText(source.data(), source.size()));
    ASSERT_EQ(writeXmlText(document.get(), &text), DocumentError::kNone);
  }
  zipEntry member;
  member.name = "WorkspaceRoot.cui";
  member.info.compressionMethod = 8;
  member.info.crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  member.info.uncompressedSize = static_cast<std::uint32_t>(text.size());
  member.data.assign(text.begin(), text.end());
  member.originalDeflate.resize(text.size() + 64);
  z_stream stream{};
  ASSERT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  stream.next_in = reinterpret_cast<Bytef*>(text.data());
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = member.originalDeflate.data();
  stream.avail_out = static_cast<uInt>(member.originalDeflate.size());
  ASSERT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  member.originalDeflate.resize(member.originalDeflate.size() - stream.avail_out);
  deflateEnd(&stream);
  zipEntryList package;
  package.appendEntry(member);
  const std::string path = work_ + "/same.cuix";
  ASSERT_EQ(package.writeArchive(path.c_str()), ZipError::kNone);
  const std::string before = readFile(path);

  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  xmlNode* element = rootElement(part(root.get(), "WorkspaceRoot.cui"));
  ASSERT_NE(setAttribute(element, "Name", "A"), nullptr);
  ASSERT_TRUE(part(root.get(), "WorkspaceRoot.cui")->edited);
  ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
  EXPECT_EQ(readFile(path), before);
}

TEST_F(PackageTest, NamesDifferingInCaseKeepTheirStoredForm) {
  std::string path = copy("cases/name_case_differs.cuix", "p.cuix");
  {
    xmlNodeHolder root(loadDocument(path.c_str()));
    ASSERT_TRUE(root);
    EXPECT_NE(part(root.get(), "WorkspaceRoot.cui"), nullptr);
    ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
  }
  zipEntryList saved;
  ASSERT_EQ(saved.readArchive(path.c_str()), ZipError::kNone);
  ASSERT_NE(saved.findEntry("WorkspaceRoot.cui"), nullptr);
  EXPECT_EQ(saved.findEntry("WorkspaceRoot.cui")->name, "workspaceroot.CUI");

  // Two members that are both one part are refused; twins among the other members are kept
  // as they are, both of them.
  path = copy("cases/unknown_twins.cuix", "twins.cuix");
  zipEntryList before;
  ASSERT_EQ(before.readArchive(path.c_str(), packagePartNames), ZipError::kNone);
  EXPECT_EQ(
      before.readArchive(copy("cases/case_twins.cuix", "parts.cuix").c_str(), packagePartNames),
      ZipError::kDuplicateName);
  EXPECT_TRUE(before.entries.empty());
  ASSERT_EQ(before.readArchive(path.c_str(), packagePartNames), ZipError::kNone);
  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  ASSERT_NE(setAttribute(rootElement(part(root.get(), "ToolbarRoot.cui")), "Edited", "1"), nullptr);
  ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
  zipEntryList after;
  ASSERT_EQ(after.readArchive(path.c_str()), ZipError::kNone);
  expectBytesKept(before, after, "ToolbarRoot.cui");
}

TEST_F(PackageTest, RelationshipsWithBackslashAreTheLastPart) {
  std::string path = copy("cases/backslash_rels.cuix", "p.cuix");
  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  std::vector<std::string> names = partNames(root.get());
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "_rels\\.rels");
  EXPECT_EQ(names.size(), 23u);
}

TEST_F(PackageTest, HeaderMadeByAnEditBecomesANewDeflatedMemberAtTheEnd) {
  std::string path = copy("cases/without_header.cuix", "p.cuix");
  size_t count;
  {
    xmlNodeHolder root(loadDocument(path.c_str()));
    ASSERT_TRUE(root);
    ASSERT_EQ(part(root.get(), "Header.cui"), nullptr);
    count = entries(root.get()).entries.size();
    // What the merge builds: a part node appended last, holding a bare element chain.
    xmlNode* header = findChild(root.get(), "Header.cui", true);
    ASSERT_NE(header, nullptr);
    xmlNode* section = findChild(header, "CustSection", true);
    ASSERT_NE(findChild(section, "Header", true), nullptr);
    ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
  }
  zipEntryList saved;
  ASSERT_EQ(saved.readArchive(path.c_str()), ZipError::kNone);
  ASSERT_EQ(saved.entries.size(), count + 1);
  EXPECT_EQ(saved.entries.back().name, "Header.cui");
  EXPECT_EQ(saved.entries.back().info.compressionMethod, 8u);
  EXPECT_NE(saved.entries.back().info.dosDate, 0u);

  xmlNodeHolder again(loadDocument(path.c_str()));
  ASSERT_TRUE(again);
  EXPECT_EQ(partNames(again.get()).front(), "Header.cui");
  xmlNode* section = rootElement(part(again.get(), "Header.cui"));
  ASSERT_NE(section, nullptr);
  EXPECT_STREQ(section->name, "CustSection");
}

// A part that is only checked keeps its member as read and refuses to be changed; its
// identifiers are kept.
TEST_F(PackageTest, CheckedPartsStayAsReadAndRefuseEdits) {
  std::string path = copy("full.cuix", "p.cuix");
  zipEntryList original;
  ASSERT_EQ(original.readArchive(path.c_str()), ZipError::kNone);
  {
    xmlNodeHolder root(loadDocument(path.c_str(), headerOnly()));
    ASSERT_TRUE(root);
    EXPECT_EQ(partNames(root.get()).size(), 22u);
    for (xmlNode* p = root->firstChild; p; p = p->next) {
      SCOPED_TRACE(p->name);
      const bool tree = std::strcmp(p->name, "Header.cui") == 0;
      EXPECT_EQ(p->firstChild != nullptr, tree);
      ASSERT_EQ(p->extra != nullptr, !tree);
      if (tree) continue;
      ASSERT_EQ(p->extra->kind, kExtraCheckedPart);
      EXPECT_STREQ(static_cast<extraDataCheckedPart*>(p->extra)->entryName, p->name);
    }
    const std::string& kept =
        static_cast<extraDataCheckedPart*>(part(root.get(), "WorkspaceRoot.cui")->extra)
            ->collectedValues;
    const zipEntry* workspaces = original.findEntry("WorkspaceRoot.cui");
    const std::string text(workspaces->data.begin(), workspaces->data.end());
    const std::size_t uid = text.find(" UID=\"");
    ASSERT_NE(uid, std::string::npos);
    const std::string value = text.substr(uid + 6, text.find('"', uid + 6) - (uid + 6));
    EXPECT_NE((std::string(1, '\0') + kept).find(std::string(1, '\0') + value + '\0'),
              std::string::npos)
        << value;

    ASSERT_NE(setAttribute(rootElement(part(root.get(), "Header.cui")), "Edited", "1"), nullptr);
    ASSERT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
    const std::string saved = readFile(path);
    appendChild(part(root.get(), "ToolbarRoot.cui"), newNode("ToolbarRoot", nullptr));
    EXPECT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNotSavable);
    EXPECT_EQ(readFile(path), saved);
  }
  zipEntryList saved;
  ASSERT_EQ(saved.readArchive(path.c_str()), ZipError::kNone);
  expectBytesKept(original, saved, "Header.cui");
}

TEST_F(PackageTest, RefusedSavesLeaveThePackageAsItWas) {
  std::string path = copy("cases/no_known_parts.cuix", "p.cuix");
  std::string before = readFile(path);
  {
    // No part nodes: nothing to write.
    xmlNodeHolder root(loadDocument(path.c_str()));
    ASSERT_TRUE(root);
    EXPECT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNotSavable);
  }
  path = copy("full.cuix", "full.cuix");
  before = readFile(path);
  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  // A missing folder, and a folder in the place of the package.
  std::string missing = work_ + "/gone/p.cuix";
  EXPECT_EQ(saveDocument(missing.c_str(), root.get()).error, PackageError::kWriteFailed);
  std::string blocked = work_ + "/blocked.cuix";
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  EXPECT_EQ(saveDocument(blocked.c_str(), root.get()).error, PackageError::kWriteFailed);
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(listFolder(work_), (std::set<std::string>{"blocked.cuix", "full.cuix", "p.cuix"}));
}

// Parts are read and written in memory: no temporary folder is needed, none is touched.
TEST_F(PackageTest, PartsNeedNoTemporaryFiles) {
  std::string path = copy("full.cuix", "p.cuix");
  setenv("TMPDIR", (work_ + "/no_such_folder").c_str(), 1);
  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  ASSERT_NE(setAttribute(rootElement(part(root.get(), "Header.cui")), "Edited", "1"), nullptr);
  EXPECT_EQ(saveDocument(path.c_str(), root.get()).error, PackageError::kNone);
  setenv("TMPDIR", tmp_.c_str(), 1);
  xmlNodeHolder again(loadDocument(path.c_str()));
  ASSERT_TRUE(again);
  xmlNode* section = rootElement(part(again.get(), "Header.cui"));
  ASSERT_NE(section, nullptr);
  EXPECT_NE(findSibling(section->firstAttribute, "Edited"), nullptr);
  EXPECT_EQ(listFolder(work_), std::set<std::string>{"p.cuix"});
}

TEST_F(PackageTest, DiskFillingUpHalfWayLeavesTheOriginal) {
  std::string path = copy("pictures.cuix", "p.cuix");
  std::string before = readFile(path);
  ASSERT_GT(before.size(), 100000u);
  xmlNodeHolder root(loadDocument(path.c_str()));
  ASSERT_TRUE(root);
  int result = runWithFileSizeLimit(before.size() / 2, [&] {
    return saveDocument(path.c_str(), root.get()).error == PackageError::kWriteFailed ? 0 : 1;
  });
  EXPECT_EQ(result, 0) << "the save did not report the failure";
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(listFolder(work_), std::set<std::string>{"p.cuix"});
}

// Memory that runs out at any point of a package load gives a plain failure: nothing leaks (the
// leak checker runs at exit) and the package stays as it was.
TEST_F(PackageTest, RunningOutOfMemoryFailsCleanly) {
  const std::string path = copy("cases/without_header.cuix", "p.cuix");
  const std::string original = readFile(path);
  for (long left = 0;; ++left) {
    xmlNodeHolder root;
    PackageFailure failure;
    long calls;
    {
      test_support::MemoryRunsOutAfter memory(left);
      root.reset(loadDocument(path.c_str(), PackageReading{}, &failure));
      calls = test_support::allocationCalls;
    }
    // Never taken for damage: the archive's, or a part's, want of memory.
    if (!root) {
      EXPECT_EQ(customizationFailure(failure), ProfileResult::kOutOfMemory) << left;
    }
    EXPECT_EQ(readFile(path), original);
    if (calls <= left) {
      ASSERT_TRUE(root);
      break;
    }
  }
}

TEST(ZipEntryList, FindAndReplaceData) {
  zipEntryList list;
  zipEntry first;
  first.name = "Data/Thing.bin";
  first.info.compressionMethod = 0;
  first.data = {1, 2, 3};
  list.appendEntry(first);
  zipEntry twin = first;
  twin.name = "DATA/THING.BIN";
  twin.data = {9};
  list.appendEntry(twin);

  std::vector<unsigned char> data;
  ASSERT_TRUE(list.findEntryData("data/thing.bin", &data));
  EXPECT_EQ(data, (std::vector<unsigned char>{1, 2, 3}));
  EXPECT_FALSE(list.findEntryData("Data/Thing", &data));

  const unsigned char bytes[] = {7, 7};
  list.setEntryData("DATA/thing.BIN", bytes, 2);
  EXPECT_EQ(list.entries[0].data, (MemberBytes{7, 7}));
  EXPECT_EQ(list.entries[0].info.uncompressedSize, 2u);
  EXPECT_EQ(list.entries[0].info.compressionMethod, 0u);
  EXPECT_EQ(list.entries[1].data, (MemberBytes{9}));

  list.setEntryData("New.cui", bytes, 1);
  ASSERT_EQ(list.entries.size(), 3u);
  EXPECT_EQ(list.entries[2].name, "New.cui");
  EXPECT_EQ(list.entries[2].info.compressionMethod, 8u);
}

}  // namespace
