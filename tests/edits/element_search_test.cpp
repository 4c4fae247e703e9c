#include "edits/element_search.h"

#include <gtest/gtest.h>

#include <string>

#include "edit_test_support.h"
#include "tests/support/tree_check.h"

namespace {

using test_support::checkTree;

TEST(ElementSearch, FindsWorkspacesAndEntriesInBothShapes) {
  xmlNodeHolder plain(parseText(kWorkspaceDocument));
  xmlNodeHolder package(makePackage({{"Header.cui", "<CustSection />"},
                                     {"WorkspaceRoot.cui",
                                      "<?xml version=\"1.0\"?>"
                                      "<WorkspaceRoot><Workspace>"
                                      "<Name>Anotace</Name></Workspace>"
                                      "</WorkspaceRoot>"}}));
  // The first workspace has no name: an unnamed search skips it.
  EXPECT_STREQ(workspaceName(findWorkspace(plain.get(), nullptr)), "Kreslení 2D");
  EXPECT_STREQ(workspaceName(findWorkspace(plain.get(), "ANOTACE")), "Anotace");
  EXPECT_STREQ(workspaceName(findWorkspace(package.get(), "anotace")), "Anotace");
  EXPECT_EQ(findWorkspace(plain.get(), "Missing"), nullptr);
  EXPECT_EQ(findWorkspace(nullptr, nullptr), nullptr);

  xmlNode* workspace = findWorkspace(plain.get(), nullptr);
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
  EXPECT_EQ(findToolbarEntry(findWorkspace(plain.get(), "Anotace"), nullptr, nullptr), nullptr);

  // Several identifiers in one pass find what each alone finds, and taking them out leaves
  // exactly the entries none of them finds.
  for (const char* group : {"norvex_express", "Other", static_cast<const char*>(nullptr)}) {
    const char* const ids[] = {"TBU_0005", "tbu_0003", nullptr, "TBU_0003", "Missing"};
    xmlNode* found[5];
    int expected = 0;
    const int seen = findToolbarEntries(workspace, group, ids, 5, found);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(found[i], findToolbarEntry(workspace, group, ids[i])) << i;
      expected += found[i] != nullptr;
    }
    EXPECT_EQ(seen, expected);
  }
  xmlNodeHolder copy(parseText(kWorkspaceDocument));
  xmlNode* changed = findWorkspace(copy.get(), nullptr);
  const char* const taken[] = {"TBU_0003", "TBU_0005"};
  removeToolbarEntries(changed, "NORVEX_EXPRESS", taken, 2);
  for (const char* id : taken) EXPECT_EQ(findToolbarEntry(changed, "NORVEX_EXPRESS", id), nullptr);
  EXPECT_NE(findToolbarEntry(changed, nullptr, "TBU_0003"), nullptr);  // another group's
  EXPECT_TRUE(checkTree(copy.get()));
}

TEST(ElementSearch, FindNextNamedLooksOnlyForwardAndPastNamelessNodes) {
  xmlNode* first = newNode("A", nullptr);
  xmlNode* nameless = newNode(nullptr, nullptr);
  xmlNode* last = newNode("b", nullptr);
  xmlNodeHolder parent(newNode("P", nullptr));
  appendChild(parent.get(), first);
  appendChild(parent.get(), nameless);
  appendChild(parent.get(), last);
  EXPECT_EQ(findNextNamed(first, "B"), last);
  EXPECT_EQ(findNextNamed(last, "A"), nullptr);
  EXPECT_EQ(findNextNamed(nullptr, "A"), nullptr);
}

TEST(CheckTree, RejectsBrokenLinksAndIncompleteNodes) {
  xmlNodeHolder good(parseText("<A x=\"1\"><B /><C>t</C></A>"));
  EXPECT_TRUE(checkTree(good.get()));
  EXPECT_FALSE(checkTree(nullptr));

  xmlNode* b = good.get()->firstChild;
  xmlNode* c = b->next;
  c->prev = good.get();
  EXPECT_FALSE(checkTree(good.get()));
  c->prev = b;
  setValue(b, "text");
  appendChild(b, newNode("D", nullptr));
  EXPECT_FALSE(checkTree(good.get()));

  xmlNodeHolder attribute(parseText("<A x=\"1\" />"));
  setValue(attribute.get()->firstAttribute, nullptr);
  EXPECT_FALSE(checkTree(attribute.get()));

  xmlNodeHolder package(makePackage({{"Header.cui", "<CustSection />"}}));
  EXPECT_FALSE(checkTree(package.get()));
}

}  // namespace
