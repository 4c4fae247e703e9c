#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "document/xml_file.h"
#include "document/xml_parser.h"
#include "document/xml_writer.h"

namespace {

xmlNode* parse(const std::string& text) {
  return parseDocument(text.c_str(), newNode(nullptr, nullptr));
}

std::string write(xmlNode* document) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  for (xmlNode* node = document; node; node = node->next) EXPECT_EQ(writeNode(node, stream, 0), 0);
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string tempFolder() {
  char pattern[] = "/tmp/nvx-doc-XXXXXX";
  return mkdtemp(pattern);
}

TEST(Parser, AcceptsAndRefusesTheSubset) {
  struct Case {
    const char* text;
    bool accepted;
  } cases[] = {
      {"<a/>", true},
      {"<a />", true},
      {"<a b/>", true},
      {"<a x=\"1\" y = \"2\"/>", true},
      {"<a x='1'/>", false},
      {"<a >x</a>", false},
      {"<a>text<b/></a>", false},
      {"<a><b/>text</a>", false},
      {"<a></A>", false},
      {"<a><![CDATA[a]b]]></a>", false},
      {"<a><b/><!-- note --></a>", false},
      {"<a><b/>", false},
      {"<a><b/> <!-- c -->", false},
      {"  <!-- only a comment -->  ", false},
      {"", false},
      {"<a/>junk", false},
      {"<?xml?>", false},
      {"<?xml version=\"1.0\"?><r/>", true},
  };
  for (const Case& c : cases) {
    xmlNode* document = parse(c.text);
    EXPECT_EQ(document != nullptr, c.accepted) << c.text;
    destroyNode(document);
  }
}

TEST(Parser, KeepsTextAsItStands) {
  xmlNode* document = parse("<a>  hello  </a>");
  ASSERT_TRUE(document);
  EXPECT_STREQ(document->value, "hello  ");
  destroyNode(document);

  document = parse("<a x=\"&amp;\"><!-- note --><b/><![CDATA[x < y]]></a>");
  ASSERT_TRUE(document);
  EXPECT_STREQ(document->firstAttribute->value, "&amp;");
  EXPECT_EQ(document->comment, nullptr);
  EXPECT_STREQ(document->firstChild->comment, " note ");
  xmlNode* cdata = document->firstChild->next;
  EXPECT_STREQ(cdata->name, "CDATA");
  EXPECT_STREQ(cdata->value, "x < y");
  destroyNode(document);
}

TEST(Parser, DeepNestingIsRefusedWithoutCrashing) {
  std::string text;
  const int depth = 1000000;
  text.reserve(depth * 7);
  for (int i = 0; i < depth; ++i) text += "<a>";
  for (int i = 0; i < depth; ++i) text += "</a>";
  EXPECT_EQ(parse(text), nullptr);
}

TEST(Writer, WorkedExampleComesOutExactly) {
  xmlNode* document = parse(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><Root id=\"1\"><Item>x</Item><Flag k=\"v\"/>"
      "<!--note--><Group><Leaf/></Group></Root>");
  ASSERT_TRUE(document);
  EXPECT_EQ(
      write(document),
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root id=\"1\" >\n  <Item>x</Item>\n"
      "  <Flag k=\"v\" />\r\n<!--\r\nnote\r\n-->\n  <Group>\n    <Leaf />\n  </Group>\n</Root>");
  destroyNode(document);
}

TEST(Writer, LongPiecesCdataAndRoundTrip) {
  std::string longValue(5000, 'v');
  std::string text = "<r a=\"" + longValue + "\"><c><![CDATA[<raw>]]></c><e></e><t>" + longValue +
                     "</t><!-- x\r\n y --><z/></r>";
  xmlNode* document = parse(text);
  ASSERT_TRUE(document);
  std::string once = write(document);
  EXPECT_NE(once.find(longValue + "\""), std::string::npos);
  EXPECT_NE(once.find("<![CDATA[<raw>]]>"), std::string::npos);
  EXPECT_NE(once.find("<e />"), std::string::npos);
  xmlNode* again = parse(once);
  ASSERT_TRUE(again);
  EXPECT_EQ(write(again), once);
  destroyNode(document);
  destroyNode(again);
}

TEST(Tree, OperationsKeepTheLinks) {
  xmlNode* parent = newNode("p", nullptr);
  xmlNode* a = newNode("a", nullptr);
  xmlNode* b = newNode("MenuGroup", nullptr);
  xmlNode* c = newNode("c", nullptr);
  appendChild(parent, a);
  appendChild(parent, b);
  appendChild(parent, c);
  EXPECT_EQ(findSibling(c, "menugroup"), b);
  xmlNode* inserted = findOrAddSibling(a, "new", true);
  EXPECT_EQ(a->next, inserted);
  EXPECT_EQ(inserted->next, b);
  xmlNode* attribute = setAttribute(parent, "k", "1");
  setAttribute(parent, "j", "2");
  EXPECT_EQ(setAttribute(parent, "K", "3"), attribute);
  EXPECT_EQ(parent->firstAttribute, attribute);
  EXPECT_STREQ(attribute->value, "3");
  detach(a, true);
  EXPECT_EQ(parent->firstChild, inserted);
  EXPECT_EQ(inserted->prev, nullptr);
  detach(c, true);
  EXPECT_EQ(b->next, nullptr);
  EXPECT_EQ(findChildWithText(parent, "MenuGroup", "x", false), nullptr);
  destroyNode(parent);

  xmlNode* chain = newNode("first", nullptr);
  xmlNode* last = chain;
  for (int i = 0; i < 200000; ++i) {
    insertAfter(last, newNode("n", "v"));
    last = last->next;
  }
  destroyNode(chain);
}

TEST(XmlFile, LoadAndSaveKeepEveryByteThatMatters) {
  std::string folder = tempFolder();
  std::string path = folder + "/acad.cui";
  std::string text =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- made by hand\r\n -->\r\n"
      "<CustSection xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\r\n"
      "  <Name>Profil \xC5\x99\xC3\xA1\xC3\xAD \xEC\x95\x88\xEB\x85\x95 \xC2\xB2 \xC3\x98 "
      "\xE2\x82\xAC</Name>\r\n"
      "  <Bad>\xFF\xFE not UTF-8</Bad>\r\n</CustSection>\r\n<!-- trailing -->\r\n";
  writeFile(path, text);
  xmlNode* document = loadXmlFile(path.c_str(), 65001);
  ASSERT_TRUE(document);
  EXPECT_STREQ(document->prefix, "\xEF\xBB\xBF");
  ASSERT_EQ(saveXmlFile(path.c_str(), document, 65001), 0);
  std::string saved = readFile(path);
  EXPECT_EQ(saved.compare(0, 3, "\xEF\xBB\xBF"), 0);
  EXPECT_NE(saved.find(
                "\xC5\x99\xC3\xA1\xC3\xAD \xEC\x95\x88\xEB\x85\x95 \xC2\xB2 \xC3\x98 \xE2\x82\xAC"),
            std::string::npos);
  EXPECT_NE(saved.find("\xFF\xFE not UTF-8"), std::string::npos);
  EXPECT_NE(saved.find("trailing"), std::string::npos);
  // A second cycle is a fixed point.
  xmlNode* again = loadXmlFile(path.c_str(), 65001);
  ASSERT_TRUE(again);
  ASSERT_EQ(saveXmlFile(path.c_str(), again, 65001), 0);
  EXPECT_EQ(readFile(path), saved);
  destroyNode(document);
  destroyNode(again);
}

TEST(XmlFile, RefusedFilesAndFailedSavesLeaveTheOriginal) {
  std::string folder = tempFolder();
  struct Case {
    const char* bytes;
    size_t length;
  } refused[] = {{"", 0}, {"1234<a/>", 8}, {"<a/>\0<b/>", 9}, {"<a>", 3}};
  for (const Case& c : refused) {
    writeFile(folder + "/bad.cui", std::string(c.bytes, c.length));
    EXPECT_EQ(loadXmlFile((folder + "/bad.cui").c_str(), 65001), nullptr);
  }
  writeFile(folder + "/ok.cui", "123<a/>");
  xmlNode* document = loadXmlFile((folder + "/ok.cui").c_str(), 65001);
  ASSERT_TRUE(document);
  EXPECT_STREQ(document->prefix, "123");
  EXPECT_EQ(loadXmlFile(folder.c_str(), 65001), nullptr);
  EXPECT_EQ(saveXmlFile(folder.c_str(), document, 65001), kSaveNoFile);
  EXPECT_EQ(saveXmlFile((folder + "/missing/x.cui").c_str(), document, 65001), kSaveNoFile);

  // A save that runs out of room half way leaves the original as it was.
  std::string path = folder + "/big.cui";
  std::string original = "<a>" + std::string(100000, 'x') + "</a>";
  writeFile(path, original);
  xmlNode* big = loadXmlFile(path.c_str(), 65001);
  ASSERT_TRUE(big);
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {50000, 50000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(saveXmlFile(path.c_str(), big, 65001) == 0 ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(readFile(path), original);
  std::string leftovers = folder + "/big.cui.new-";
  EXPECT_EQ(system(("ls " + leftovers + "* >/dev/null 2>&1").c_str()) == 0, false);
  destroyNode(document);
  destroyNode(big);
}

}  // namespace
