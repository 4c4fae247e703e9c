// Small helpers for the document tests: parse a text, write a document to a string, and make
// random documents of the forms customization files use.
#pragma once

#include <random>
#include <string>

#include "document/xml_node.h"
#include "document/xml_parser.h"
#include "document/xml_writer.h"
#include "tests/support/test_files.h"

inline xmlNode* parseText(const std::string& text) {
  return parseDocument(text.c_str(), newNode(nullptr, nullptr));
}

// The text the writer gives for every top-level node of document, and the trailing comment.
inline std::string writeText(xmlNode* document) {
  std::string text;
  xmlAppendingSink<std::string> sink(text);
  for (xmlNode* node = document; node; node = node->next)
    if (writeNode(node, sink, 0) != DocumentError::kNone) return "(write failed)";
  if (document) writeComment(trailingComment(document), sink);
  return text;
}

// Random well-formed text in the subset the parser reads: an optional byte order mark, blank
// lines, declaration and leading comment, then a tree whose elements are empty, hold text
// (blanks and line ends at either end), hold one CDATA section, or hold children laid out
// with white space, some with comments before them; an optional comment at the end.
class RandomDocument {
 public:
  explicit RandomDocument(unsigned seed) : random_(seed) {}

  std::string text() {
    std::string out;
    if (chance(4)) out += "\xef\xbb\xbf";
    if (chance(4)) out += pick({"\n", "\r\n", "  ", "\r\n\r\n\t"});
    if (chance(2)) out += "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + space();
    if (chance(3)) out += "<!--" + words() + "-->" + space();
    element(out, 0);
    if (chance(3)) out += space() + "<!--" + words() + "-->";
    if (chance(3)) out += space();
    return out;
  }

 private:
  bool chance(unsigned oneIn) { return random_() % oneIn == 0; }
  std::string pick(std::initializer_list<std::string> choices) {
    return *(choices.begin() + random_() % choices.size());
  }
  std::string space() { return pick({"", "\n", "\r\n", "\r\n  ", " \t"}); }
  std::string words() {
    std::string out;
    for (unsigned i = random_() % 4; i > 0; --i)
      out += pick({" ", "  ", "\r\n", "\t", "Žluť", "m²", "&amp;", "x", "도면", "\xe8\xed"});
    return out;
  }
  void element(std::string& out, int depth) {
    std::string name = pick({"Name", "Item", "ns:Macro", "WorkspaceRoot", "CDATA", "A"});
    out += "<" + name;
    for (unsigned i = random_() % 3; i > 0; --i)
      out += pick({" ", "  ", "\r\n"}) + pick({"UID", "k", "MenuGroup"}) + "=\"" + words() + "\"";
    switch (depth > 4 ? random_() % 3 : random_() % 4) {
      case 0:
        out += pick({"/>", " />", "></" + name + ">", ">" + space() + "</" + name + ">"});
        return;
      case 1:  // text, which must not be white space alone
        out += ">" + words() + pick({"t", "Text", "é"}) + words() + "</" + name + ">";
        return;
      case 2:
        out += "><![CDATA[" + words() + pick({"", "<a & b>"}) + "]]></" + name + ">";
        return;
      default:
        out += ">";
        for (unsigned i = 1 + random_() % 3; i > 0; --i) {
          out += space();
          if (chance(4)) out += "<!--" + words() + "-->" + space();
          if (chance(8))
            out += "<![CDATA[" + words() + "]]>";
          else
            element(out, depth + 1);
        }
        out += space() + "</" + name + ">";
    }
  }

  std::mt19937 random_;
};
