// The consistency of a node tree for tests: every node named, no element with both a value
// and children, every attribute named and valued, and every link matched by its reverse.
// Reads the tree only.
#pragma once

#include <vector>

#include "document/xml_node.h"

namespace test_support {

// True when start, its following siblings and everything below them pass.
inline bool checkTree(xmlNode* start) {
  std::vector<xmlNode*> pending;
  if (!start) return false;
  pending.push_back(start);
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (!node->name) return false;
    if (node->value && node->firstChild) return false;
    for (xmlNode* a = node->firstAttribute; a; a = a->next) {
      if (!a->name || !a->value || a->firstChild || a->parent != node) return false;
      if (a->prev ? a->prev->next != a : node->firstAttribute != a) return false;
      if (a->next && a->next->prev != a) return false;
    }
    if (node->parent && !node->prev && node->parent->firstChild != node) return false;
    if (node->prev && node->prev->next != node) return false;
    if (node->next && node->next->prev != node) return false;
    if (node->next) pending.push_back(node->next);
    if (node->firstChild) pending.push_back(node->firstChild);
  }
  return true;
}

}  // namespace test_support
