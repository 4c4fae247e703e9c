#include "document/xml_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "document_test_support.h"
#include "tests/support/tree_equal.h"

namespace {

TEST(DocumentWriter, WritesTheHostLayoutByteForByte) {
  xmlNodeHolder declaration(newNode("?xml", nullptr));
  setAttribute(declaration.get(), "version", "1.0");
  setAttribute(declaration.get(), "encoding", "utf-8");
  xmlNode* root = newNode("Root", nullptr);
  insertAfter(declaration.get(), root);
  setAttribute(root, "id", "1");
  appendChild(root, newNode("Item", "x"));
  setAttribute(findChild(root, "Flag", true), "k", "v");
  xmlNode* group = findChild(root, "Group", true);
  setNodeComment(group, strdup("note"));
  findChild(group, "Leaf", true);
  EXPECT_EQ(writeText(declaration.get()),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<Root id=\"1\" >\n"
            "  <Item>x</Item>\n"
            "  <Flag k=\"v\" />\r\n"
            "<!--\r\n"
            "note\r\n"
            "-->\n"
            "  <Group>\n"
            "    <Leaf />\n"
            "  </Group>\n"
            "</Root>");
}

TEST(DocumentWriter, WritesEachFormAsRead) {
  struct Case {
    const char* text;
    const char* written;
  } cases[] = {
      {"<a></a>", "\n<a />"},
      {"<a b=\"1\"></a>", "\n<a b=\"1\" />"},
      {"<a b=\"1\">t</a>", "\n<a b=\"1\" >t</a>"},
      {"<a>t </a>", "\n<a>t </a>"},
      {"<a>\r\n  t</a>", "\n<a>\r\n  t</a>"},
      {"<a x=\"&lt;&amp;\">&quot;&amp;</a>", "\n<a x=\"&lt;&amp;\" >&quot;&amp;</a>"},
      {"<a><!-- c --><b/></a>", "\n<a>\r\n<!-- c -->\n  <b />\n</a>"},
      {"<!--\r\nc\r\n--><a/>", "\r\n<!--\r\nc\r\n-->\n<a />"},
      {"<!----><a/>", "\n<a />"},
      {"<a><![CDATA[x < y]]></a>", "\n<a><![CDATA[x < y]]></a>"},
      {"<Name>\r\n  <![CDATA[ My space ]]>\r\n</Name>", "\n<Name><![CDATA[ My space ]]></Name>"},
      {"<a k=\"1\"><![CDATA[]]></a>", "\n<a k=\"1\" ><![CDATA[]]></a>"},
      {"<a><![CDATA[x]]><b/></a>", "\n<a>\n  <![CDATA[x]]>\n  <b />\n</a>"},
      {"<a><!--n--><![CDATA[]]></a>", "\n<a>\r\n<!--\r\nn\r\n-->\n  <![CDATA[]]>\n</a>"},
      {"<CDATA>t</CDATA>", "\n<CDATA>t</CDATA>"},
      {"<?pi a=\"1\"?><r/>", "<?pi a=\"1\"?>\n<r />"},
      {"<?pi/>", "<?pi />"},
      {"<a/><!--end-->", "\n<a />\r\n<!--\r\nend\r\n-->"},
  };
  for (const Case& c : cases) {
    xmlNodeHolder document(parseText(c.text));
    ASSERT_NE(document.get(), nullptr) << c.text;
    EXPECT_EQ(writeText(document.get()), c.written) << c.text;
    // The written text reads back as the same document.get().
    xmlNodeHolder again(parseText(c.written));
    std::string difference;
    EXPECT_TRUE(test_support::documentsEqual(document.get(), again.get(), &difference, true))
        << c.text << ": " << difference;
  }
}

TEST(DocumentWriter, WritesLongPiecesWhole) {
  std::string value(70000, 'v');
  value[1023] = value[1024] = '\xc5';
  std::string name(3000, 'n');
  xmlNodeHolder node(newNode(name.c_str(), nullptr));
  setAttribute(node.get(), "k", value.c_str());
  appendChild(node.get(), newNode("t", value.c_str()));
  const std::string indent(2 * 700, ' ');
  std::string text;
  xmlAppendingSink<std::string> sink(text);
  ASSERT_EQ(writeNode(node.get(), sink, 700), DocumentError::kNone);
  std::string expected = "\n" + indent + "<" + name + " k=\"" + value + "\" >\n" + indent +
                         "  <t>" + value + "</t>\n" + indent + "</" + name + ">";
  EXPECT_TRUE(text == expected) << "written " << text.size() << " of " << expected.size();
}

// Takes `accepted` pieces, then fails every one.
struct PieceSink : xmlSink {
  explicit PieceSink(int accepted) : left(accepted) {}
  DocumentError put(const char* data, size_t length) override {
    ++calls;
    if (length > 65536 && length != 150000) ++oversized;
    if (left-- <= 0) return DocumentError::kWriteFailed;
    text.append(data, length);
    return DocumentError::kNone;
  }
  int left, calls = 0, oversized = 0;
  std::string text;
};

// A document goes out in pieces of at most 64 KiB (a longer text whole); the first failing
// piece stops the writer with the sink's error, after the start of the document.
TEST(DocumentWriter, WritesBoundedPiecesAndStopsAtAFailure) {
  std::string text = "<R>";
  for (int i = 0; i < 4000; ++i) text += "<I k=\"" + std::to_string(i) + "\">text</I>";
  xmlNodeHolder document(parseText(text + "<L>" + std::string(150000, 'v') + "</L></R><!--end-->"));
  ASSERT_NE(document.get(), nullptr);
  std::memcpy(document->prefix, "\xef\xbb\xbf", 4);
  PieceSink whole(1 << 30);
  ASSERT_EQ(writeDocument(document.get(), whole), DocumentError::kNone);
  EXPECT_EQ(whole.oversized, 0);
  // The same text as node by node, except that the document.get() starts on its first line.
  EXPECT_TRUE(whole.text == "\xef\xbb\xbf" + writeText(document.get()).substr(1));
  for (int accepted = 0; accepted < whole.calls; ++accepted) {
    PieceSink failing(accepted);
    EXPECT_EQ(writeDocument(document.get(), failing), DocumentError::kWriteFailed);
    EXPECT_EQ(failing.calls, accepted + 1) << "pieces handed on after a failure";
    EXPECT_EQ(whole.text.compare(0, failing.text.size(), failing.text), 0);
  }
}

TEST(DocumentWriter, ReportsAFailedWrite) {
  xmlNodeHolder node(newNode("a", std::string(200000, 'x').c_str()));
  setNodeComment(node.get(), strdup("c"));
  PieceSink refusing(0);
  EXPECT_EQ(writeNode(node.get(), refusing, 0), DocumentError::kWriteFailed);
  EXPECT_EQ(writeComment(nodeComment(node.get()), refusing), DocumentError::kWriteFailed);
  EXPECT_EQ(writeNode(nullptr, refusing, 0), DocumentError::kNone);
  EXPECT_EQ(writeComment(nullptr, refusing), DocumentError::kNoDocument);
  EXPECT_EQ(refusing.calls, 2);
}

}  // namespace
