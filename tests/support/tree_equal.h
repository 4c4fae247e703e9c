// Tree comparison for tests: two document chains are equal when every node has the same
// name, value, comment, CDATA flag and prefix, and the same attribute and child chains in the
// same order. The first difference is described in *difference (a path of names).
//
// With comments normalised, a comment is compared in the form the writer gives it (an empty
// comment is none; a line end is added at an end that has no white space), so a tree can be
// compared with the tree read back from its written text.
#pragma once

#include <cstring>
#include <string>

#include "document/xml_node.h"

namespace test_support {

inline std::string writtenComment(const char* comment) {
  if (!comment || !*comment) return std::string();
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::string text = comment;
  if (!space(text.front())) text.insert(0, "\r\n");
  if (!space(text.back())) text += "\r\n";
  return text;
}

inline std::string describeText(const char* text) {
  return text ? "\"" + std::string(text) + "\"" : std::string("null");
}

inline bool sameText(const char* a, const char* b) {
  return (!a && !b) || (a && b && std::strcmp(a, b) == 0);
}

inline bool chainsEqual(const xmlNode* a, const xmlNode* b, const std::string& where,
                        bool normaliseComments, std::string* difference);

inline bool nodesEqual(const xmlNode* a, const xmlNode* b, const std::string& where,
                       bool normaliseComments, std::string* difference) {
  std::string here = where + "/" + (a->name ? a->name : "(nameless)");
  auto differ = [&](const std::string& what) {
    if (difference) *difference = here + ": " + what;
    return false;
  };
  if (!sameText(a->name, b->name))
    return differ("name " + describeText(a->name) + " vs " + describeText(b->name));
  if (!sameText(a->value, b->value))
    return differ("value " + describeText(a->value) + " vs " + describeText(b->value));
  bool commentsMatch = normaliseComments
                           ? writtenComment(nodeComment(a)) == writtenComment(nodeComment(b))
                           : sameText(nodeComment(a), nodeComment(b));
  if (!commentsMatch)
    return differ("comment " + describeText(nodeComment(a)) + " vs " +
                  describeText(nodeComment(b)));
  if (a->cdata != b->cdata) return differ("CDATA flag");
  if (std::strncmp(a->prefix, b->prefix, sizeof a->prefix) != 0) return differ("prefix");
  return chainsEqual(a->firstAttribute, b->firstAttribute, here + "@", normaliseComments,
                     difference) &&
         chainsEqual(a->firstChild, b->firstChild, here, normaliseComments, difference);
}

inline bool chainsEqual(const xmlNode* a, const xmlNode* b, const std::string& where,
                        bool normaliseComments, std::string* difference) {
  for (int index = 0; a || b; a = a->next, b = b->next, ++index) {
    if (!a || !b) {
      if (difference)
        *difference = where + ": chains differ in length at node " + std::to_string(index);
      return false;
    }
    if (!nodesEqual(a, b, where, normaliseComments, difference)) return false;
  }
  return true;
}

// Whole documents: the top-level chains and the trailing comment of the first node.
inline bool documentsEqual(const xmlNode* a, const xmlNode* b, std::string* difference = nullptr,
                           bool normaliseComments = false) {
  if (!a || !b) {
    if (difference) *difference = a ? "second document missing" : "first document missing";
    return !a && !b;
  }
  bool trailingMatch =
      normaliseComments ? writtenComment(trailingComment(a)) == writtenComment(trailingComment(b))
                        : sameText(trailingComment(a), trailingComment(b));
  if (!trailingMatch) {
    if (difference)
      *difference = "trailing comment " + describeText(trailingComment(a)) + " vs " +
                    describeText(trailingComment(b));
    return false;
  }
  return chainsEqual(a, b, "", normaliseComments, difference);
}

}  // namespace test_support
