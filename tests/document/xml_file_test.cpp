#include "document/xml_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "document/xml_writer.h"
#include "document_test_support.h"
#include "platform/code_page.h"
#include "tests/support/allocation_faults.h"
#include "tests/support/test_files.h"
#include "tests/support/tree_equal.h"

namespace {

using test_support::folderNames;
using test_support::readFile;
using test_support::runWithFileSizeLimit;
using test_support::writeFile;

const char kBom[] = "\xef\xbb\xbf";

class DocumentFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nvx_document_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  std::string path(const std::string& name) const { return folder_ + "/" + name; }

  // A customization file made by the project's generator.
  std::string generate(const std::string& name, const std::string& options) {
    const char* fixtures = std::getenv("NVX_FIXTURES");
    std::string script = std::string(fixtures ? fixtures : NVX_FIXTURE_DIR) + "/cui_fixture.py";
    std::string out = path(name);
    EXPECT_EQ(std::system(("python3 '" + script + "' '" + out + "' " + options).c_str()), 0);
    return out;
  }

  std::string folder_;
};

TEST_F(DocumentFile, GeneratedFilesSurviveLoadAndSave) {
  struct Case {
    const char* options;
    bool bom;
  } cases[] = {
      {"--seed 1 --workspaces 10", false},
      {"--seed 2 --workspaces 10 --bom", true},
      {"--seed 3 --workspaces 12 --crlf", false},
      {"--seed 4 --workspaces 10 --bom --crlf --toolbars 9", true},
      {"--seed 5 --workspaces 10 --size 10500000", false},
  };
  for (const Case& c : cases) {
    std::string original = generate("main.cui", c.options);
    std::string bytes = readFile(original);
    xmlNodeHolder loaded(loadXmlFile(original.c_str()));
    ASSERT_NE(loaded.get(), nullptr) << c.options;
    EXPECT_STREQ(loaded->prefix, c.bom ? kBom : "") << c.options;
    ASSERT_EQ(saveXmlFile(original.c_str(), loaded.get()), DocumentError::kNone);
    std::string saved = readFile(original);
    EXPECT_EQ(saved.compare(0, 3, kBom) == 0, c.bom) << c.options;
    // Every character comes back in its UTF-8 bytes.
    for (const char* text : {"Žluťoučký kůň", "도면 작성", "Anotace m²", "Strojírenství Ø",
                             "Rozpočet €", "Text &amp; popis", "<![CDATA["})
      EXPECT_NE(saved.find(text), std::string::npos) << c.options << ": " << text;
    xmlNodeHolder reloaded(loadXmlFile(original.c_str()));
    std::string difference;
    EXPECT_TRUE(test_support::documentsEqual(loaded.get(), reloaded.get(), &difference))
        << difference;
    // A second save changes nothing at all.
    ASSERT_EQ(saveXmlFile(original.c_str(), reloaded.get()), DocumentError::kNone);
    EXPECT_TRUE(readFile(original) == saved) << c.options;
    EXPECT_EQ(folderNames(folder_).size(), 1u);
  }
}

TEST_F(DocumentFile, KeepsBytesThatAreNotUtf8AndTheTrailingComment) {
  // Central European ANSI bytes, a stray continuation byte, a comment after the root.
  const std::string text =
      std::string(kBom) + "<a k=\"\xe8\xed\x80\">\xbe\xe1\xf8</a>\r\n<!-- end -->";
  writeFile(path("ansi.cui"), text);
  xmlNodeHolder document(loadXmlFile(path("ansi.cui").c_str()));
  ASSERT_NE(document.get(), nullptr);
  ASSERT_EQ(saveXmlFile(path("ansi.cui").c_str(), document.get()), DocumentError::kNone);
  EXPECT_EQ(readFile(path("ansi.cui")), std::string(kBom) +
                                            "<a k=\"\xe8\xed\x80\" >\xbe\xe1\xf8</a>"
                                            "\r\n<!-- end -->");
}

TEST_F(DocumentFile, RefusesWhatItCannotKeepWhole) {
  struct Case {
    std::string bytes;
    const char* prefix;  // null: refused
  } cases[] = {
      {"<a/>", ""},
      {std::string(kBom) + "<a/>", kBom},
      {"abc<a/>", "abc"},
      {"abcd<a/>", nullptr},
      {"\r\n\t <a/>", ""},
      {std::string(kBom) + "\r\n<a/>", kBom},
      {"ab\n<a/>", "ab"},
      {"a b<a/>", nullptr},
      {" a<a/>", nullptr},
      {std::string("\0<a/>", 5), nullptr},
      {"", nullptr},
      {"  <!-- only a comment -->  ", nullptr},
      {std::string("<a>x\0y</a>", 10), nullptr},
      {"<a><b></a>", nullptr},
  };
  for (const Case& c : cases) {
    writeFile(path("case.cui"), c.bytes);
    DocumentError error;
    xmlNodeHolder document(loadXmlFile(path("case.cui").c_str(), &error));
    EXPECT_EQ(document.get() != nullptr, c.prefix != nullptr) << c.bytes;
    EXPECT_EQ(error, c.prefix ? DocumentError::kNone : DocumentError::kMalformed) << c.bytes;
    if (document && c.prefix) {
      EXPECT_STREQ(document->prefix, c.prefix);
    }
  }
  std::string truncated = readFile(generate("whole.cui", "--seed 9"));
  writeFile(path("cut.cui"), truncated.substr(0, truncated.size() / 2));
  const std::pair<std::string, DocumentError> refused[] = {
      {path("cut.cui"), DocumentError::kMalformed},
      {path("missing.cui"), DocumentError::kFileMissing},
      {path("missing/main.cui"), DocumentError::kFileMissing},
      {folder_, DocumentError::kNotRegularFile},
  };
  for (const auto& [name, reason] : refused) {
    DocumentError error;
    EXPECT_EQ(loadXmlFile(name.c_str(), &error), nullptr) << name;
    EXPECT_EQ(error, reason) << name;
  }
}

// Whatever stands before the first element, the first save settles it: later loads and saves
// give the same bytes.
TEST_F(DocumentFile, RepeatedSavesGiveTheSameBytes) {
  const std::string shapes[] = {
      "<a>t</a>",
      std::string(kBom) + "<a>t</a>",
      "<!-- c --><a/>",
      std::string(kBom) + "<!--c-->\r\n<a/>",
      "<?xml version=\"1.0\"?>\r\n<a/>",
      std::string(kBom) + "<?xml version=\"1.0\"?><a/><!--end-->",
      "\r\n\r\n  <a/>",
      "abc<a/>",
  };
  for (const std::string& shape : shapes) {
    writeFile(path("s.cui"), shape);
    std::string first;
    for (int save = 0; save < 5; ++save) {
      xmlNodeHolder document(loadXmlFile(path("s.cui").c_str()));
      ASSERT_NE(document.get(), nullptr) << shape << " save " << save;
      ASSERT_EQ(saveXmlFile(path("s.cui").c_str(), document.get()), DocumentError::kNone);
      if (save == 0) first = readFile(path("s.cui"));
    }
    EXPECT_EQ(readFile(path("s.cui")), first) << shape;
    xmlNodeHolder last(loadXmlFile(path("s.cui").c_str()));
    EXPECT_NE(last.get(), nullptr) << shape;
  }
}

// Only regular files are read: a pipe fails at once, even with a writer that would hand over a
// whole document, and so do folders, devices and files past the size limit.
TEST_F(DocumentFile, ReadsOnlyRegularFilesWithinTheLimit) {
  const std::string pipe = path("pipe.cui");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    int fd = open(pipe.c_str(), O_WRONLY);
    ssize_t written = fd >= 0 ? write(fd, "<a/>", 4) : -1;
    _exit(written == 4 ? 0 : 1);
  }
  DocumentError error;
  EXPECT_EQ(loadXmlFile(pipe.c_str(), &error), nullptr);
  EXPECT_EQ(error, DocumentError::kNotRegularFile);
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);

  const std::string huge = path("huge.cui");
  writeFile(huge, "<a/>");
  ASSERT_EQ(truncate(huge.c_str(), (off_t{1} << 30) + 1), 0);  // sparse: nothing is written
  EXPECT_EQ(loadXmlFile(huge.c_str(), &error), nullptr);
  EXPECT_EQ(error, DocumentError::kTooLarge);
  for (const std::string& refused : {folder_, std::string("/dev/null")}) {
    EXPECT_EQ(loadXmlFile(refused.c_str(), &error), nullptr) << refused;
    EXPECT_EQ(error, DocumentError::kNotRegularFile) << refused;
  }
}

TEST_F(DocumentFile, FailedSavesLeaveTheOriginalUntouched) {
  std::string original = generate("main.cui", "--seed 7 --bom --size 400000");
  const std::string before = readFile(original);
  xmlNodeHolder document(loadXmlFile(original.c_str()));
  ASSERT_NE(document.get(), nullptr);

  // The disk refuses the new file half way.
  int result = runWithFileSizeLimit(100000, [&] {
    return saveXmlFile(original.c_str(), document.get()) == DocumentError::kWriteFailed ? 0 : 1;
  });
  EXPECT_EQ(result, 0) << "a save that could not be written did not say so";

  EXPECT_EQ(saveXmlFile(path("no/such/folder/main.cui").c_str(), document.get()),
            DocumentError::kWriteFailed);
  mkdir(path("folder.cui").c_str(), 0755);
  EXPECT_EQ(saveXmlFile(path("folder.cui").c_str(), document.get()), DocumentError::kWriteFailed);
  xmlNodeHolder nameless(newNode(nullptr, nullptr));
  EXPECT_EQ(saveXmlFile(original.c_str(), nameless.get()), DocumentError::kNoDocument);
  EXPECT_EQ(saveXmlFile(original.c_str(), nullptr), DocumentError::kNoDocument);

  EXPECT_TRUE(readFile(original) == before);
  std::vector<std::string> left = folderNames(folder_);
  EXPECT_EQ(left.size(), 2u);  // main.cui and folder.cui, no new file beside them
}

// Bytes in memory give what a file of those bytes gives, in both directions.
TEST_F(DocumentFile, MemoryAndFilesGiveTheSameDocumentsAndBytes) {
  for (unsigned seed = 0; seed < 150; ++seed) {
    std::string text = RandomDocument(seed).text();
    writeFile(path("r.cui"), text);
    xmlNodeHolder fromFile(loadXmlFile(path("r.cui").c_str()));
    // Followed by more text that the length leaves out: nothing past it is read.
    std::string longer = text + "<tail>";
    xmlNodeHolder fromMemory(parseXmlText(longer.data(), text.size()));
    ASSERT_NE(fromFile.get(), nullptr) << seed << ": " << text;
    std::string difference;
    EXPECT_TRUE(test_support::documentsEqual(fromFile.get(), fromMemory.get(), &difference))
        << seed << ": " << difference;

    std::string written = "stale";
    ASSERT_EQ(writeXmlText(fromMemory.get(), &written), DocumentError::kNone) << seed;
    ASSERT_EQ(saveXmlFile(path("r.cui").c_str(), fromFile.get()), DocumentError::kNone);
    EXPECT_TRUE(written == readFile(path("r.cui"))) << seed << ": " << text;
    // What was written reads back as the same document and is written again unchanged.
    xmlNodeHolder again(parseXmlText(written.data(), written.size()));
    EXPECT_TRUE(test_support::documentsEqual(fromMemory.get(), again.get(), &difference, true))
        << seed << ": " << difference;
    std::string rewritten;
    EXPECT_EQ(writeXmlText(again.get(), &rewritten), DocumentError::kNone);
    EXPECT_TRUE(rewritten == written) << seed << ": " << text;
  }
  const std::string nul("<a>x\0y</a>", 10);
  EXPECT_EQ(parseXmlText(nul.data(), nul.size()), nullptr);
  EXPECT_EQ(parseXmlText("<a/>", 0), nullptr);
  EXPECT_EQ(parseXmlText("<a/>", 3), nullptr);
  EXPECT_EQ(parseXmlText(nullptr, 4), nullptr);

  std::string out = "stale";
  xmlNodeHolder nameless(newNode(nullptr, nullptr));
  EXPECT_EQ(writeXmlText(nameless.get(), &out), DocumentError::kNoDocument);
  EXPECT_EQ(out, "");
  EXPECT_EQ(writeXmlText(nullptr, &out), DocumentError::kNoDocument);
  EXPECT_EQ(writeXmlText(nameless.get(), nullptr), DocumentError::kNoDocument);
}

// Memory that runs out at any point of a load or save gives a plain failure: nothing leaks
// (the leak checker runs at exit) and the file stays as it was.
TEST_F(DocumentFile, RunningOutOfMemoryFailsCleanly) {
  const std::string text = RandomDocument(3).text() + "<!--" + std::string(70000, 'c') + "-->";
  const std::string file = path("m.cui");
  writeFile(file, text);
  xmlNodeHolder document(parseXmlText(text.data(), text.size()));
  ASSERT_NE(document.get(), nullptr);
  std::string expected;
  ASSERT_EQ(writeXmlText(document.get(), &expected), DocumentError::kNone);
  const DocumentError kNone = DocumentError::kNone, kOutOfMemory = DocumentError::kOutOfMemory;
  for (long left = 0;; ++left) {
    const std::string before = readFile(file);
    std::string written = "stale";
    xmlNodeHolder loaded, parsed;
    DocumentError loadError, parseError, wrote, saved;
    long calls;
    {
      test_support::MemoryRunsOutAfter memory(left);
      loaded.reset(loadXmlFile(file.c_str(), &loadError));
      parsed.reset(parseXmlText(text.data(), text.size(), &parseError));
      wrote = writeXmlText(document.get(), &written);
      saved = saveXmlFile(file.c_str(), document.get());
      calls = test_support::allocationCalls;
    }
    // A read that ran out of memory says so, and is never taken for a malformed file.
    for (const auto& [read, error] :
         {std::pair(loaded.get(), loadError), {parsed.get(), parseError}}) {
      EXPECT_EQ(error, read ? kNone : kOutOfMemory) << left;
      if (read) {
        EXPECT_TRUE(test_support::documentsEqual(read, document.get())) << left;
      }
    }
    EXPECT_TRUE(wrote == kNone ? written == expected : wrote == kOutOfMemory && written.empty())
        << left;
    EXPECT_TRUE(saved == kNone || saved == kOutOfMemory) << left;
    EXPECT_TRUE(readFile(file) == (saved == kNone ? expected : before)) << left;
    if (calls <= left) break;  // every allocation succeeded
  }
}

TEST(DocumentText, AnsiTextIsConvertedOnlyForUtf8Documents) {
  std::string out;
  ASSERT_TRUE(ansiToDocumentText("C:\\Podpora\\V\xfdkresy", platform::kCodePageAnsi, &out));
  EXPECT_EQ(out, "C:\\Podpora\\V\xfdkresy");
  std::string expected;
  ASSERT_TRUE(platform::convertText("C:\\Podpora\\Výkresy", platform::kCodePageAnsi,
                                    platform::kCodePageUtf8, &expected));
  ASSERT_TRUE(ansiToDocumentText("C:\\Podpora\\Výkresy", platform::kCodePageUtf8, &out));
  EXPECT_EQ(out, expected);
}

}  // namespace
