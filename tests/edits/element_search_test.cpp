#include "edits/element_search.h"

#include <gtest/gtest.h>

#include <string>

#include "edit_test_support.h"
#include "edits/menu_merge.h"

namespace {

const char kWorkspaces[] =
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

std::uint32_t counter(const EditRun& run, const char* prefix) {
  for (const IdPrefix& entry : run.idPrefixTable)
    if (std::string(entry.prefix) == prefix) return entry.counter;
  ADD_FAILURE() << prefix;
  return 0;
}

TEST(ElementSearch, FindsWorkspacesAndEntriesInBothShapes) {
  DocumentOwner plain(parseText(kWorkspaces));
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

TEST(IdentifierScan, CountsUnderTheFirstMatchingPrefix) {
  EditRun run;
  DocumentOwner document(parseText(kWorkspaces));
  scanIdentifiers(run, document.document);
  EXPECT_EQ(counter(run, "WSU_"), 13u);  // WSU_12 and wsu_3, not under WS_
  EXPECT_EQ(counter(run, "WS_"), 6u);
  EXPECT_EQ(counter(run, "WSTU_"), 42u);
  EXPECT_EQ(counter(run, "WSC_"), 1u);

  DocumentOwner more(
      parseText("<R><A UID=\"WSCU_3\" /><A UID=\"WSC_x\" /><A UID=\"XLSR_ 7z\" />"
                "<A UID=\"WSTU_5\" /><A UID=\"NOPREFIX_99\" /></R>"));
  scanIdentifiers(run, more.document);
  EXPECT_EQ(counter(run, "WSCU_"), 4u);
  EXPECT_EQ(counter(run, "WSC_"), 1u);    // no digits count as 0
  EXPECT_EQ(counter(run, "XLSR_"), 8u);   // read as atol reads it
  EXPECT_EQ(counter(run, "WSTU_"), 42u);  // never lowered
}

TEST(IdentifierScan, ContinuesAcrossDocumentsAndWrapsAround) {
  EditRun run;
  DocumentOwner first(parseText("<R><A UID=\"WSTU_41\" /></R>"));
  scanIdentifiers(run, first.document);
  EXPECT_EQ(newToolbarId(run), "WSTU_42");
  EXPECT_EQ(newToolbarId(run), "WSTU_43");
  EXPECT_EQ(newToolbarId(run), "WSTU_44");
  DocumentOwner second(parseText("<R><A UID=\"WSTU_3\" /></R>"));
  scanIdentifiers(run, second.document);
  EXPECT_EQ(newToolbarId(run), "WSTU_45");

  // The counter is unsigned 32-bit: the highest number makes it 0.
  EditRun wrapped;
  DocumentOwner top(parseText("<R><A UID=\"WSTU_4294967295\" /></R>"));
  scanIdentifiers(wrapped, top.document);
  EXPECT_EQ(counter(wrapped, "WSTU_"), 0u);
  EXPECT_EQ(newToolbarId(wrapped), "WSTU_0");
  EXPECT_EQ(newToolbarId(wrapped), "WSTU_1");
}

TEST(IdentifierScan, WalksDeepTreesWithoutRecursion) {
  std::string text;
  const int depth = 200;
  for (int i = 0; i < depth; ++i) text += "<E>";
  text += "<E UID=\"WSTU_77\" />";
  for (int i = 0; i < depth; ++i) text += "</E>";
  EditRun run;
  DocumentOwner document(parseText(text.c_str()));
  ASSERT_NE(document.document, nullptr);
  scanIdentifiers(run, document.document);
  EXPECT_EQ(counter(run, "WSTU_"), 78u);
  EXPECT_TRUE(checkTree(document.document));
}

TEST(EditRun, NamesAndStampsFollowTheFormatVersion) {
  EXPECT_STREQ(orientationName(0), "floating");
  EXPECT_STREQ(orientationName(3), "top");
  EXPECT_STREQ(orientationName(5), "ignore");
  EXPECT_STREQ(orientationName(-1), "ignore");

  struct {
    unsigned major, minor;
    const char* name;
  } const versions[] = {{16, 2, "Revision"},    {17, 1, "Revision"}, {17, 2, "ModifiedRev"},
                        {18, 0, "ModifiedRev"}, {0, 99, "Revision"}, {17, 10, "ModifiedRev"}};
  for (const auto& v : versions) {
    EditRun run;
    setFormatVersion(run, v.major, v.minor);
    DocumentOwner stamp(makeRevisionStamp(run, 3));
    EXPECT_EQ(writtenText(stamp.document), "\n<" + std::string(v.name) + " MajorVersion=\"" +
                                               std::to_string(v.major) + "\" MinorVersion=\"" +
                                               std::to_string(v.minor) + "\" UserVersion=\"3\" />");
  }
  DocumentOwner fresh(makeRevisionStamp(EditRun(), 0));
  EXPECT_STREQ(fresh.document->name, "Revision");
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
