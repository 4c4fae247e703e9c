#include "edits/element_search.h"

#include <gtest/gtest.h>

#include <string>

#include "edit_test_support.h"
#include "tests/support/tree_check.h"

namespace {

using test_support::checkTree;

TEST(ElementSearch, FindsWorkspacesAndEntriesInBothShapes) {
  DocumentOwner plain(parseText(kWorkspaceDocument));
  DocumentOwner package(makePackage({{"Header.cui", "<CustSection />"},
                                     {"WorkspaceRoot.cui",
                                      "<?xml version=\"1.0\"?>"
                                      "<WorkspaceRoot><Workspace>"
                                      "<Name>Anotace</Name></Workspace>"
                                      "</WorkspaceRoot>"}}));
  // The first workspace has no name: an unnamed search skips it.
  EXPECT_STREQ(workspaceName(findWorkspace(plain.document, nullptr)), "Kreslení 2D");
  EXPECT_STREQ(workspaceName(findWorkspace(plain.document, "ANOTACE")), "Anotace");
  EXPECT_STREQ(workspaceName(findWorkspace(package.document, "anotace")), "Anotace");
  EXPECT_EQ(findWorkspace(plain.document, "Missing"), nullptr);
  EXPECT_EQ(findWorkspace(nullptr, nullptr), nullptr);

  xmlNode* workspace = findWorkspace(plain.document, nullptr);
  struct {
    const char* group;
    const char* pUID;
    const char* uid;
  } const cases[] = {
      {"NORVEX_EXPRESS", "TBU_0003", "WSTU_41"},  // case of group and pUID ignored
      {nullptr, "TBU_0003", "WSTU_2"},            // the entry without a group never matches
      {"Other", nullptr, "WSTU_2"},
      {"NORVEX_EXPRESS", "TBU_0005", nullptr},
  };
  for (const auto& c : cases) {
    xmlNode* entry = findToolbarEntry(workspace, c.group, c.pUID);
    const char* uid = entry ? nodeText(findSibling(entry->firstAttribute, "UID")) : nullptr;
    EXPECT_STREQ(uid, c.uid) << (c.pUID ? c.pUID : "-");
  }
  EXPECT_EQ(findToolbarEntry(findWorkspace(plain.document, "Anotace"), nullptr, nullptr), nullptr);
}

TEST(ElementSearch, FindNextNamedLooksOnlyForwardAndPastNamelessNodes) {
  xmlNode* first = newNode("A", nullptr);
  xmlNode* nameless = newNode(nullptr, nullptr);
  xmlNode* last = newNode("b", nullptr);
  xmlNode* parent = newNode("P", nullptr);
  appendChild(parent, first);
  appendChild(parent, nameless);
  appendChild(parent, last);
  EXPECT_EQ(findNextNamed(first, "B"), last);
  EXPECT_EQ(findNextNamed(last, "A"), nullptr);
  EXPECT_EQ(findNextNamed(nullptr, "A"), nullptr);
  destroyNode(parent);
}

TEST(CheckTree, RejectsBrokenLinksAndIncompleteNodes) {
  DocumentOwner good(parseText("<A x=\"1\"><B /><C>t</C></A>"));
  EXPECT_TRUE(checkTree(good.document));
  EXPECT_FALSE(checkTree(nullptr));

  xmlNode* b = good.document->firstChild;
  xmlNode* c = b->next;
  c->prev = good.document;
  EXPECT_FALSE(checkTree(good.document));
  c->prev = b;
  setValue(b, "text");
  appendChild(b, newNode("D", nullptr));
  EXPECT_FALSE(checkTree(good.document));

  DocumentOwner attribute(parseText("<A x=\"1\" />"));
  setValue(attribute.document->firstAttribute, nullptr);
  EXPECT_FALSE(checkTree(attribute.document));

  DocumentOwner package(makePackage({{"Header.cui", "<CustSection />"}}));
  EXPECT_FALSE(checkTree(package.document));
}

}  // namespace
