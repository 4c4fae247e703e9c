#include "document/xml_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "document/xml_file.h"
#include "document_test_support.h"

namespace {

// A compact picture of a document: name(attr=value ...)="text"{children} per node, a comment
// as <!note!> in front, a CDATA node as [[text]], top-level nodes separated by " | ".
std::string shape(const xmlNode* node, bool chain = true) {
  std::string out;
  for (; node; node = chain ? node->next : nullptr) {
    if (!out.empty()) out += chain && !node->parent ? " | " : " ";
    if (nodeComment(node)) out += "<!" + std::string(nodeComment(node)) + "!>";
    if (node->cdata) {
      out += "[[" + std::string(node->value) + "]]";
    } else {
      out += node->name;
      if (node->firstAttribute) {
        out += "(";
        for (const xmlNode* a = node->firstAttribute; a; a = a->next)
          out += std::string(a->name) + "=" + a->value + (a->next ? " " : "");
        out += ")";
      }
      if (node->value) out += "=\"" + std::string(node->value) + "\"";
      if (node->firstChild) {
        std::string children;
        for (const xmlNode* c = node->firstChild; c; c = c->next)
          children += (children.empty() ? "" : " ") + shape(c, false);
        out += "{" + children + "}";
      }
    }
  }
  return out;
}

TEST(DocumentParser, AcceptsTheSubsetAndRefusesTheRest) {
  struct Case {
    const char* text;
    const char* shape;  // "" for no document
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r/>", "?xml(version=1.0 encoding=utf-8) | r"},
      {"<a>  hello  </a>", "a=\"  hello  \""},
      {"<a>\r\n  x\r\n</a>", "a=\"\r\n  x\r\n\""},
      {"<a><b>\t y</b><c>  </c><d x=\"1\"> z</d></a>", "a{b=\"\t y\" c d(x=1)=\" z\"}"},
      {"<a>\n  <b/>\n</a>", "a{b}"},
      {"<a x=\"1\" y = \"2\"/>", "a(x=1 y=2)"},
      {"<a x=\"1\"y=\"2\"/>", "a(x=1 y=2)"},
      {"<a x=\"&amp;\" y=\"\"/>", "a(x=&amp; y=)"},
      {"<a x=\"<b>\n\"/>", "a(x=<b>\n)"},
      {"<a/>", "a"},
      {"<a />", "a"},
      {"<a b/>", "a"},
      {"<a></a>", "a"},
      {"<a>\r\n\t </a>", "a"},
      {"<a><b><c>t</c></b><d/></a>", "a{b{c=\"t\"} d}"},
      {"<a><![CDATA[x < y]]></a>", "a{[[x < y]]}"},
      {"<a><!-- note --><b/></a>", "a{<! note !>b}"},
      {"<a><!-- n --><b> t \r\n</b></a>", "a{<! n !>b=\" t \r\n\"}"},
      {"<a><b>t</c></a>", ""},
      {"<a><b>t</b ></a>", ""},
      {"<!--c1--><a/><b/>", "<!c1!>a | b"},
      {"<a/><!-- after -->", "a"},
      {"<a/><!--", "a"},
      {"<!----><a/>", "<!!>a"},
      {"<!-- x -- y --><a/>", "<! x -- y !>a"},
      {"<!--<a/>", "a"},    // an unclosed comment's opening is stepped over
      {"<!--<!--x/>", ""},  // what is left would be written back as a comment
      {"<r><!--<!--x/></r>", ""},
      {"<ns:a></ns:a>", "ns:a"},
      {"<a x='1'/>", ""},
      {"<a >x</a>", ""},
      {"<a x/>x", ""},
      {"<a x=/>", ""},
      {"<a x=\"1/>", ""},
      {"<a>text<b/></a>", ""},
      {"<a><b/>text</a>", ""},
      {"<a></A>", ""},
      {"<a></a >", ""},
      {"<a><![CDATA[a]b]]></a>", ""},
      {"<a><![CDATA[abc", ""},
      {"<a><b/><!-- note --></a>", ""},
      {"<a><!--x--><!--y--><b/></a>", ""},
      {"<a><b/>", ""},
      {"<a><b/>  ", ""},
      {"<a><b/><!-- c -->", ""},
      {"<a>text", ""},
      {"<a", ""},
      {"<a=b/>", ""},
      {"<?xml?>", ""},
      {"x<a/>", ""},
      {"<a/>x", ""},
      {"  <!-- only -->  ", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    xmlNodeHolder document(parseText(c.text));
    EXPECT_EQ(document ? shape(document.get()) : "", c.shape) << "text: " << c.text;
  }
}

TEST(DocumentParser, LinksChainsBothWays) {
  xmlNodeHolder document(parseText("<?x a=\"1\"?><r p=\"1\" q=\"2\"><a/><b/><c/></r>"));
  ASSERT_NE(document.get(), nullptr);
  xmlNode* root = document->next;
  EXPECT_EQ(root->prev, document.get());
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->firstAttribute->next->prev, root->firstAttribute);
  EXPECT_EQ(root->firstAttribute->next->parent, root);
  const xmlNode* prev = nullptr;
  for (const xmlNode* c = root->firstChild; c; prev = c, c = c->next) {
    EXPECT_EQ(c->prev, prev);
    EXPECT_EQ(c->parent, root);
  }
  EXPECT_STREQ(prev->name, "c");
  EXPECT_TRUE(root->firstChild->next->next == prev);
}

// Saving a package rewrites only parts marked edited, so a read must leave every mark clear.
bool anyEdited(const xmlNode* node) {
  for (; node; node = node->next)
    if (node->edited || anyEdited(node->firstAttribute) || anyEdited(node->firstChild)) return true;
  return false;
}

TEST(DocumentParser, ReadingMarksNothingEdited) {
  xmlNodeHolder document(
      parseText("<?xml version=\"1.0\"?><!-- c --><r a=\"1\"><![CDATA[x<y]]><b>t</b><c/></r>"));
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(anyEdited(document.get()));
}

TEST(DocumentParser, KeepsTheTrailingComment) {
  xmlNodeHolder document(parseText("<a/>\r\n<!-- end\r\n-->\r\n"));
  ASSERT_NE(document.get(), nullptr);
  EXPECT_STREQ(trailingComment(document.get()), " end\r\n");
  EXPECT_EQ(document->next, nullptr);
}

TEST(DocumentParser, RefusesHostileNestingCleanly) {
  for (int levels : {kMaxNestingDepth + 1, 1000000}) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) open += "<a>", close += "</a>";
    EXPECT_EQ(parseText(open + close), nullptr) << levels;
    EXPECT_EQ(parseText(open), nullptr) << levels;
  }
  std::string open, close;
  for (int i = 0; i < kMaxNestingDepth; ++i) open += "<a>", close += "</a>";
  xmlNodeHolder deepest(parseText(open + "x" + close));
  EXPECT_NE(deepest.get(), nullptr);
}

TEST(DocumentParser, ReadsLongPiecesWhole) {
  std::string value(200000, 'v'), name(5000, 'n');
  xmlNodeHolder document(
      parseText("<" + name + " k=\"" + value + "\">" + value + "</" + name + ">"));
  ASSERT_NE(document.get(), nullptr);
  EXPECT_EQ(std::string(document->name), name);
  EXPECT_EQ(std::string(document->firstAttribute->value), value);
  EXPECT_EQ(std::string(document->value), value);
}

// Every node below the top level, in document order, attributes included.
void nodesBelowTop(xmlNode* first, std::vector<xmlNode*>* nodes) {
  for (xmlNode* node = first; node; node = node->next) {
    if (node->parent) nodes->push_back(node);
    nodesBelowTop(node->firstAttribute, nodes);
    nodesBelowTop(node->firstChild, nodes);
  }
}

// A document read into an arena takes random edits as one read node by node does: renames,
// new texts, new nodes made apart or for a place in the tree, nodes destroyed, and nodes
// detached and kept past their document's edits (freed before it). The sanitizers check that
// each is freed exactly once.
TEST(DocumentParser, ArenaDocumentsTakeEditsAsOthersDo) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    const std::string text = RandomDocument(seed).text();
    xmlNodeHolder inArena(parseXmlText(text.data(), text.size()));
    xmlNodeHolder alone(parseText(text.substr(text.find('<'))));
    ASSERT_TRUE(inArena && alone);
    std::vector<xmlNodeHolder> kept;
    std::mt19937 random(seed);
    for (int step = 0; step < 12; ++step) {
      std::vector<xmlNode*> a, b;
      nodesBelowTop(inArena.get(), &a);
      nodesBelowTop(alone.get(), &b);
      ASSERT_EQ(a.size(), b.size());
      if (a.empty()) break;
      const size_t i = random() % a.size();
      const unsigned kind = random() % 7;
      for (xmlNode* node : {a[i], b[i]}) {
        if (kind == 0) setName(node, "renamed");
        if (kind == 1 && !node->firstChild) setValue(node, "new text");
        if (kind == 2 && !node->value && node->name)
          appendChild(node, newNode("added", node->firstAttribute ? "t" : nullptr));
        if (kind == 3) detach(node, true);
        if (kind == 4) {
          detach(node, false);
          kept.emplace_back(node);
        }
        // Made for a place in the tree: in the arena of an arena document.
        if (kind == 5 && node->name && !node->cdata) setAttribute(node, "Made", "v");
        if (kind == 6 && !node->value && node->name && !node->cdata)
          findChild(findChild(node, "Made", true), "Inner", true);
      }
    }
    EXPECT_EQ(writeText(inArena.get()), writeText(alone.get()));
    kept.clear();
  }
}

}  // namespace

namespace {

// Many small elements: a tree several times the text's size, over several arena blocks.
std::string manyElements(int count, const char* name) {
  std::string text = "<Root>";
  for (int i = 0; i < count; ++i)
    text += std::string("<") + name + " n=\"" + std::to_string(i) + "\"/>";
  return text + "</Root>";
}

// Documents read after others were freed take over their blocks; documents alive side by side
// never share one, whatever order they are read and freed in.
TEST(DocumentParser, DocumentsReadAfterOthersKeepTheirOwnNodes) {
  const std::string large = manyElements(40000, "Large");
  const std::string medium = manyElements(5000, "Medium");
  const std::string small = "<Small a=\"b\">text</Small>";
  // As written from documents read node by node, outside any arena.
  auto written = [](const std::string& text) {
    xmlNodeHolder alone(parseText(text));
    return writeText(alone.get());
  };
  const std::string largeText = written(large), mediumText = written(medium),
                    smallText = written(small);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    xmlNodeHolder first(parseXmlText(large.data(), large.size()));
    ASSERT_TRUE(first);
    if (round != 1) first.reset();
    xmlNodeHolder a(parseXmlText(small.data(), small.size()));
    xmlNodeHolder b(parseXmlText(large.data(), large.size()));
    xmlNodeHolder c(parseXmlText(medium.data(), medium.size()));
    ASSERT_TRUE(a && b && c);
    if (round == 2) b.reset();
    xmlNodeHolder d(parseXmlText(large.data(), large.size()));
    ASSERT_TRUE(d);
    EXPECT_EQ(writeText(a.get()), smallText);
    if (b) {
      EXPECT_EQ(writeText(b.get()), largeText);
    }
    EXPECT_EQ(writeText(c.get()), mediumText);
    EXPECT_EQ(writeText(d.get()), largeText);
    if (first) {
      EXPECT_EQ(writeText(first.get()), largeText);
    }
  }
}

}  // namespace

namespace {

// Of each element in document order, the value of its first attribute named UID.
void firstIdentifiers(const xmlNode* node, std::multiset<std::string>* values) {
  for (; node; node = node->next) {
    if (const xmlNode* uid = findSibling(node->firstAttribute, "UID")) values->insert(uid->value);
    firstIdentifiers(node->firstChild, values);
  }
}

std::multiset<std::string> splitAtNul(const std::string& joined) {
  std::multiset<std::string> values;
  for (std::size_t at = 0; at < joined.size(); at = joined.find('\0', at) + 1)
    values.insert(joined.c_str() + at);
  return values;
}

// A check accepts exactly the texts a read accepts, damaged ones included, and keeps the values
// the tree holds.
TEST(DocumentCheck, AgreesWithTheReadOnEveryText) {
  const char kSignificant[] = "<>/=\"!-[]? \r\nUIDuid";
  int accepted = 0, refused = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE(seed);
    std::string text = RandomDocument(seed).text();
    std::mt19937 random(seed);
    for (int damage = random() % 4; damage > 0 && !text.empty(); --damage) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text.erase(at, 1 + random() % 3);
          break;
        case 1:
          text.insert(at, 1, kSignificant[random() % (sizeof kSignificant - 1)]);
          break;
        default:
          text.resize(at);
      }
    }
    DocumentError read;
    xmlNodeHolder tree(parseTerminatedXmlText(text.c_str(), text.size(), &read));
    std::string kept;
    // The same verdict, for the same reason.
    ASSERT_EQ(checkTerminatedXmlText(text.c_str(), text.size(), "uid", &kept), read) << text;
    ASSERT_EQ(read, tree ? DocumentError::kNone : DocumentError::kMalformed) << text;
    if (!tree) {
      ++refused;
      continue;
    }
    ++accepted;
    std::multiset<std::string> expected;
    firstIdentifiers(tree.get(), &expected);
    EXPECT_EQ(splitAtNul(kept), expected);
  }
  // Both sides are exercised, not one.
  EXPECT_GT(accepted, 100);
  EXPECT_GT(refused, 100);
}

// Values are optional; the nesting limit holds as in a read.
TEST(DocumentCheck, ReadsLongTextsAndRefusesDeepOnes) {
  const std::string text = manyElements(200000, "Item");
  const DocumentError kNone = DocumentError::kNone;
  EXPECT_EQ(checkTerminatedXmlText(text.c_str(), text.size(), nullptr, nullptr), kNone);
  std::string kept;
  EXPECT_EQ(checkTerminatedXmlText(text.c_str(), text.size(), "n", &kept), kNone);
  EXPECT_EQ(splitAtNul(kept).size(), 200000u);
  auto nested = [](int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<a>", close += "</a>";
    return open + close;
  };
  const std::string deep = nested(300), shallow = nested(200);
  EXPECT_EQ(checkTerminatedXmlText(deep.c_str(), deep.size(), nullptr, nullptr),
            DocumentError::kMalformed);
  EXPECT_EQ(checkTerminatedXmlText(shallow.c_str(), shallow.size(), nullptr, nullptr), kNone);
}

}  // namespace

namespace {

// Whatever a node below the top level comes to hold of its own is freed with its document: the
// sanitizers report anything left behind.
TEST(DocumentParser, WhatNodesComeToHoldIsFreedWithTheirDocument) {
  const std::string text =
      "<?xml version=\"1.0\"?><!--top--><R a=\"1\"><S><T b=\"2\">t</T></S><U x=\"1\">u</U></R>";
  using Change = void (*)(xmlNode * document, xmlNode * deep);
  const Change changes[] = {
      [](xmlNode*, xmlNode* deep) { setValue(deep, "own text"); },
      [](xmlNode*, xmlNode* deep) { setName(deep, "Renamed"); },
      [](xmlNode*, xmlNode* deep) { setValue(deep->firstAttribute, "own value"); },
      [](xmlNode*, xmlNode* deep) { appendChild(deep->parent, newNode("Alone", "text")); },
      [](xmlNode*, xmlNode* deep) { insertAfter(deep, newNode("Beside", nullptr)); },
      [](xmlNode* document, xmlNode*) { insertAfter(document, newNode("Top", nullptr)); },
      [](xmlNode*, xmlNode* deep) { appendChild(deep->parent->parent, newNode("Last", nullptr)); },
      [](xmlNode*, xmlNode* deep) {
        const char other[] = "<O><P q=\"1\">p</P></O>";
        appendChild(deep, parseXmlText(other, sizeof other - 1));
      },
      [](xmlNode* document, xmlNode*) {
        const char other[] = "<O/>";
        xmlNode* first = parseXmlText(other, sizeof other - 1);
        appendChild(first, newNode("Under", nullptr));
        insertAfter(document, first);
      },
      [](xmlNode*, xmlNode* deep) {
        xmlNode* apart = deep->parent;
        xmlNode* root = apart->parent;
        detach(apart, false);
        setValue(deep, "set while apart");
        appendChild(root, apart);
      },
  };
  for (const std::string& source :
       {text, text + "<!--after-->", std::string("<R><S><!--c--><T b=\"2\">t</T></S></R>"),
        std::string("<R><S><T b=\"2\"><![CDATA[c]]></T></S></R>")}) {
    for (Change change : changes) {
      xmlNodeHolder document(parseXmlText(source.data(), source.size()));
      ASSERT_TRUE(document);
      xmlNode* root = document.get();
      while (root && (!root->name || root->name[0] == '?')) root = root->next;
      ASSERT_NE(root, nullptr);
      xmlNode* deep = findChild(findChild(root, "S", false), "T", false);
      ASSERT_NE(deep, nullptr);
      change(document.get(), deep);
    }
  }
}

}  // namespace
