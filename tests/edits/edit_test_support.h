// Documents for the edit tests: parsed from text, written back to text, and package roots
// built by hand. Every document returned is the caller's, held in an xmlNodeHolder.
#pragma once

#include <cstdlib>
#include <string>

#include "document/xml_node.h"
#include "document/xml_parser.h"
#include "document/xml_writer.h"
#include "tests/support/test_files.h"

inline xmlNode* parseText(const char* text) {
  return parseDocument(text, newNode(nullptr, nullptr));
}

// The whole chain from node on (or the node alone), as the writer gives it.
inline std::string writtenText(xmlNode* node, bool chain = true) {
  std::string text;
  xmlAppendingSink<std::string> sink(text);
  for (; node; node = chain ? node->next : nullptr) writeNode(node, sink, 0);
  return text;
}

// Three workspaces, the first without a name, the second with toolbar entries.
inline const char kWorkspaceDocument[] =
    "<CustSection><Header><WorkspaceRoot>"
    "<Workspace UID=\"WS_5\"><Other>x</Other></Workspace>"
    "<Workspace UID=\"WSU_12\"><Name>Kreslení 2D</Name>"
    "<WSToolbarRoot>"
    "<WSToolbar pUID=\"TBU_0003\" UID=\"wsu_3\" />"
    "<WSToolbar MenuGroup=\"Other\" pUID=\"TBU_0003\" UID=\"WSTU_2\" />"
    "<WSToolbar MenuGroup=\"norvex_express\" pUID=\"tbu_0003\" UID=\"WSTU_41\" />"
    "</WSToolbarRoot></Workspace>"
    "<Workspace><Name>Anotace</Name></Workspace>"
    "</WorkspaceRoot></Header></CustSection>";

struct TestPackageContent : extraData {
  TestPackageContent() : extraData(kExtraPackageRoot) {}
};

// A package root whose part nodes hold the given documents (name, text pairs).
inline xmlNode* makePackage(std::initializer_list<std::pair<const char*, const char*>> parts) {
  xmlNode* root = newNode(nullptr, nullptr);
  root->extra = new TestPackageContent;
  for (const auto& part : parts) {
    xmlNode* node = newNode(part.first, nullptr);
    appendChild(root, node);
    xmlNode* document = parseText(part.second);
    node->firstChild = document;
    for (xmlNode* n = document; n; n = n->next) n->parent = node;
  }
  return root;
}
