#include "edits/menu_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit_test_support.h"
#include "edits/element_search.h"
#include "tests/support/tree_check.h"

namespace {

using test_support::checkTree;

const char kGroup[] = "NORVEX_EXPRESS";
const char* const kIds[] = {"ID_Express", "TBU_0003", "TBU_0005",
                            "TBU_0007",   "TBU_0009", "TBU_0011"};
const int kPositions[] = {70, 112, 200, 112, 580, 172, 70, 172, 741, 112, 462, 112};
const char kPath[] = "c:\\data\\support\\norvex_express.CUIX";

const char kTwoWorkspaces[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<CustSection><Header><CommonConfiguration><CommonItems>"
    "<Revision MajorVersion=\"16\" MinorVersion=\"2\" UserVersion=\"0\" />"
    "<PartialMenuFile>other.cui</PartialMenuFile>"
    "</CommonItems></CommonConfiguration>"
    "<WorkspaceRoot>"
    "<Workspace UID=\"WS_1\"><Name>Kreslení</Name><WSToolbarRoot>"
    "<WSToolbar MenuGroup=\"ACAD\" pUID=\"TBU_0003\" UID=\"WSU_4\" />"
    "</WSToolbarRoot></Workspace>"
    "<Workspace UID=\"WS_2\"><Name>Anotace</Name><WSToolbarRoot /></Workspace>"
    "</WorkspaceRoot></Header></CustSection>";

int merge(EditRun& run, xmlNode* document, bool remove, const char* path = kPath) {
  return mergeMenuGroup(run, document, nullptr, path, kGroup, kIds, kPositions, 6, remove);
}

const char* attribute(xmlNode* element, const char* name) {
  return nodeText(findSibling(element->firstAttribute, name));
}

// The add-on's entries of a workspace as "pUID UID xval,yval".
std::vector<std::string> entries(xmlNode* workspace) {
  std::vector<std::string> out;
  xmlNode* root = findChild(workspace, "WSToolbarRoot", false);
  for (xmlNode* e = root ? root->firstChild : nullptr; e; e = e->next)
    if (equalsIgnoreCase(attribute(e, "MenuGroup"), kGroup))
      out.push_back(std::string(attribute(e, "pUID")) + " " + attribute(e, "UID") + " " +
                    attribute(e, "xval") + "," + attribute(e, "yval"));
  return out;
}

std::vector<std::string> references(xmlNode* document) {
  std::vector<std::string> out;
  xmlNode* items = findCommonItems(document, false);
  for (xmlNode* c = items ? items->firstChild : nullptr; c; c = c->next)
    if (equalsIgnoreCase(c->name, "PartialMenuFile")) out.push_back(c->value);
  return out;
}

TEST(MenuMerge, AddPlacesSixEntriesPerWorkspaceInTableOrder) {
  EditRun run;
  DocumentOwner doc(parseText(kTwoWorkspaces));
  scanIdentifiers(run, doc.document);
  EXPECT_EQ(merge(run, doc.document, false), 2);
  xmlNode* first = findWorkspace(doc.document, "Kreslení");
  EXPECT_EQ(entries(first),
            (std::vector<std::string>{"ID_Express WSTU_1 70,112", "TBU_0003 WSTU_2 200,112",
                                      "TBU_0005 WSTU_3 580,172", "TBU_0007 WSTU_4 70,172",
                                      "TBU_0009 WSTU_5 741,112", "TBU_0011 WSTU_6 462,112"}));
  EXPECT_EQ(entries(findWorkspace(doc.document, "Anotace")).back(), "TBU_0011 WSTU_12 462,112");
  // The other group's entry with the same pUID stays first.
  EXPECT_STREQ(attribute(findChild(first, "WSToolbarRoot", false)->firstChild, "MenuGroup"),
               "ACAD");
  EXPECT_EQ(writtenText(findToolbarEntry(first, kGroup, "TBU_0003"), false),
            "\n<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"TBU_0003\" Display=\"1\" "
            "ToolbarOrient=\"floating\" xval=\"200\" yval=\"112\" rows=\"1\" dockrow=\"0\" "
            "dockcolumn=\"0\" UID=\"WSTU_2\" >\n  <Revision MajorVersion=\"16\" MinorVersion=\"2\" "
            "UserVersion=\"1\" />\n</WSToolbar>");
  // An existing, non-empty CommonItems gets no second stamp; the reference goes last.
  xmlNode* items = findCommonItems(doc.document, false);
  EXPECT_STREQ(items->firstChild->name, "Revision");
  EXPECT_EQ(references(doc.document), (std::vector<std::string>{"other.cui", kPath}));
  EXPECT_TRUE(checkTree(doc.document));
}

TEST(MenuMerge, AddingAgainReplacesAndRemoveRestoresTheText) {
  EditRun run;
  DocumentOwner doc(parseText(kTwoWorkspaces));
  const std::string before = writtenText(doc.document);
  scanIdentifiers(run, doc.document);
  merge(run, doc.document, false);
  // A user's moved copy of one toolbar, in lower-case group, is replaced too.
  xmlNode* second = findWorkspace(doc.document, "Anotace");
  setAttribute(findToolbarEntry(second, kGroup, "TBU_0007"), "xval", "999");
  setAttribute(findToolbarEntry(second, kGroup, "TBU_0007"), "MenuGroup", "norvex_express");
  merge(run, doc.document, false);
  EXPECT_EQ(references(doc.document).size(), 2u);
  EXPECT_EQ(entries(second).size(), 6u);
  EXPECT_EQ(entries(second)[3], "TBU_0007 WSTU_22 70,172");

  EXPECT_EQ(merge(run, doc.document, true), 2);
  EXPECT_EQ(writtenText(doc.document), before);
  EXPECT_EQ(merge(run, doc.document, true), 2);
  EXPECT_EQ(writtenText(doc.document), before);
}

TEST(MenuMerge, RemoveKeepsEntriesThatAreNotTheAddOns) {
  EditRun run;
  DocumentOwner doc(
      parseText("<CustSection><Header><WorkspaceRoot><Workspace><Name>A</Name><WSToolbarRoot>"
                "<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"TBU_0099\" UID=\"WSTU_1\" />"
                "<WSToolbar MenuGroup=\"ACAD\" pUID=\"ID_Express\" UID=\"WSTU_2\" />"
                "<WSToolbar MenuGroup=\"norvex_express\" pUID=\"id_express\" UID=\"WSTU_3\" />"
                "<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"ID_Express\" UID=\"WSTU_4\" />"
                "</WSToolbarRoot></Workspace></WorkspaceRoot></Header></CustSection>"));
  merge(run, doc.document, true);
  std::vector<std::string> left;
  for (xmlNode* e = findChild(findWorkspace(doc.document, "A"), "WSToolbarRoot", false)->firstChild;
       e; e = e->next)
    left.push_back(attribute(e, "UID"));
  EXPECT_EQ(left, (std::vector<std::string>{"WSTU_1", "WSTU_2"}));
  EXPECT_EQ(findCommonItems(doc.document, false), nullptr);  // nothing created by a remove
}

TEST(MenuMerge, MissingContainersAreMadeAndNamelessDocumentsLeftAlone) {
  EditRun run;
  DocumentOwner bare(
      parseText("<CustSection><Header><WorkspaceRoot><Workspace><Name>A</Name>"
                "</Workspace></WorkspaceRoot></Header></CustSection>"));
  EXPECT_EQ(merge(run, bare.document, false), 1);
  xmlNode* items = findCommonItems(bare.document, false);
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(writtenText(items->firstChild),
            "\n<Revision MajorVersion=\"16\" MinorVersion=\"2\" UserVersion=\"0\" />"
            "\n<PartialMenuFile>" +
                std::string(kPath) + "</PartialMenuFile>");
  EXPECT_EQ(entries(findWorkspace(bare.document, "A")).size(), 6u);

  const char* unnamed[] = {
      "<CustSection><Header><WorkspaceRoot><Workspace><Other /></Workspace>"
      "<Workspace><Name /></Workspace></WorkspaceRoot></Header></CustSection>",
      "<CustSection />", "<Other><Workspace><Name>A</Name></Workspace></Other>"};
  for (const char* text : unnamed) {
    DocumentOwner doc(parseText(text));
    const std::string before = writtenText(doc.document);
    EXPECT_EQ(merge(run, doc.document, false), 0) << text;
    EXPECT_EQ(writtenText(doc.document), before) << text;
  }
}

TEST(MenuMerge, WorkspacesOfTheSameNameAllGetTheEntries) {
  EditRun run;
  DocumentOwner doc(
      parseText("<CustSection><Header><WorkspaceRoot>"
                "<Workspace><Name>A</Name></Workspace>"
                "<Workspace><Name>a</Name></Workspace>"
                "</WorkspaceRoot></Header></CustSection>"));
  EXPECT_EQ(merge(run, doc.document, false), 2);
  xmlNode* first = findWorkspace(doc.document, "A");
  EXPECT_EQ(entries(first).size(), 6u);
  EXPECT_EQ(entries(findNextNamed(first, "Workspace")).size(), 6u);
  // A merge for one name reaches the first of them only.
  EXPECT_EQ(mergeMenuGroup(run, doc.document, "a", kPath, kGroup, kIds, kPositions, 6, true), 1);
  EXPECT_TRUE(entries(first).empty());
  EXPECT_EQ(entries(findNextNamed(first, "Workspace")).size(), 6u);
}

// A name in a CDATA section is a name: the workspace is found by it and takes the entries,
// and the name is written back as it was read.
TEST(MenuMerge, WorkspaceNamedInCdataGetsTheEntries) {
  EditRun run;
  DocumentOwner doc(
      parseText("<CustSection><Header><WorkspaceRoot>"
                "<Workspace><Name><![CDATA[My <space>]]></Name></Workspace>"
                "<Workspace><Name><![CDATA[x]]><!-- c --><Other /></Name></Workspace>"
                "</WorkspaceRoot></Header></CustSection>"));
  xmlNode* named = findWorkspace(doc.document, "my <SPACE>");
  ASSERT_NE(named, nullptr);
  EXPECT_STREQ(workspaceName(named), "My <space>");
  EXPECT_EQ(workspaceName(findNextNamed(named, "Workspace")), nullptr);
  EXPECT_EQ(merge(run, doc.document, false), 1);
  EXPECT_EQ(entries(named).size(), 6u);
  EXPECT_EQ(writtenText(findChild(named, "Name", false), false),
            "\n<Name><![CDATA[My <space>]]></Name>");
  EXPECT_TRUE(checkTree(doc.document));
}

TEST(MenuMerge, ReferencesAreWrittenEscapedAndFoundInAnyWrittenForm) {
  const char path[] = "c:\\a&b <\"x\">\\norvex_express.CUI";
  EXPECT_EQ(writtenForm(path), "c:\\a&amp;b &lt;&quot;x&quot;&gt;\\norvex_express.CUI");
  EditRun run;
  DocumentOwner doc(parseText(kTwoWorkspaces));
  merge(run, doc.document, false, path);
  EXPECT_EQ(references(doc.document).back(), writtenForm(path));
  EXPECT_TRUE(holdsPartialMenu(doc.document, path, false));
  merge(run, doc.document, true, path);
  EXPECT_FALSE(holdsPartialMenu(doc.document, path, true));

  // Stored by another writer: character references, other case, the bare file name; one to
  // the same name in another folder is someone else's.
  xmlNode* items = findCommonItems(doc.document, false);
  const char* stored[] = {"C:\\A&#38;B &#x3C;&quot;X\"&gt;\\NORVEX_EXPRESS.cui",
                          "Norvex_Express.CUI", "d:\\elsewhere\\norvex_express.cui",
                          "c:\\a&amp;b &lt;&quot;x&quot;&gt;\\norvex_express.CUI"};
  for (const char* text : stored) appendChild(items, newNode("PartialMenuFile", text));
  EXPECT_TRUE(holdsPartialMenu(doc.document, path, false));
  removePartialMenu(doc.document, path);
  EXPECT_EQ(references(doc.document),
            (std::vector<std::string>{"other.cui", "d:\\elsewhere\\norvex_express.cui"}));
  // A reference that is not plain ampersand text stays undecoded.
  appendChild(items, newNode("PartialMenuFile", "a&#0;b"));
  appendChild(items, newNode("PartialMenuFile", "a&bogus;b"));
  removePartialMenu(doc.document, "a");
  EXPECT_EQ(references(doc.document).size(), 4u);
  EXPECT_FALSE(addPartialMenu(run, doc.document, ""));
}

TEST(MenuMerge, PackagesTakeTheReferenceInTheirHeaderPart) {
  const char workspaceRoot[] =
      "<?xml version=\"1.0\"?><WorkspaceRoot><Workspace><Name>A</Name></Workspace>"
      "</WorkspaceRoot>";
  EditRun run;
  setFormatVersion(run, 18, 0);
  DocumentOwner package(
      makePackage({{"Header.cui", "<?xml version=\"1.0\"?><CustSection><Header /></CustSection>"},
                   {"WorkspaceRoot.cui", workspaceRoot}}));
  EXPECT_EQ(merge(run, package.document, false), 1);
  xmlNode* header = findChild(package.document, "Header.cui", false);
  EXPECT_EQ(findCommonItems(package.document, false)->parent->parent->parent->parent, header);
  EXPECT_STREQ(findCommonItems(package.document, false)->firstChild->name, "ModifiedRev");
  EXPECT_EQ(entries(findWorkspace(package.document, "A")).size(), 6u);
  EXPECT_STREQ(
      findToolbarEntry(findWorkspace(package.document, "A"), kGroup, "TBU_0011")->firstChild->name,
      "ModifiedRev");
  EXPECT_EQ(merge(run, package.document, true), 1);
  EXPECT_EQ(references(package.document).size(), 0u);

  // Without a header part, one is made for the reference.
  DocumentOwner headless(makePackage({{"WorkspaceRoot.cui", workspaceRoot}}));
  EXPECT_EQ(merge(run, headless.document, false), 1);
  EXPECT_NE(findChild(headless.document, "Header.cui", false), nullptr);
  EXPECT_EQ(references(headless.document), std::vector<std::string>{kPath});
}

}  // namespace
