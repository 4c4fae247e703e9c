#include "edits/menu_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit_test_support.h"
#include "edits/element_search.h"
#include "platform/ascii_text.h"
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
    if (attribute(e, "MenuGroup") &&
        platform::equalsIgnoringAsciiCase(attribute(e, "MenuGroup"), kGroup))
      out.push_back(std::string(attribute(e, "pUID")) + " " + attribute(e, "UID") + " " +
                    attribute(e, "xval") + "," + attribute(e, "yval"));
  return out;
}

std::vector<std::string> references(xmlNode* document) {
  std::vector<std::string> out;
  xmlNode* items = findCommonItems(document, false);
  for (xmlNode* c = items ? items->firstChild : nullptr; c; c = c->next)
    if (c->name && platform::equalsIgnoringAsciiCase(c->name, "PartialMenuFile"))
      out.push_back(c->value);
  return out;
}

TEST(MenuMerge, AddPlacesSixEntriesPerWorkspaceInTableOrder) {
  EditRun run;
  xmlNodeHolder doc(parseText(kTwoWorkspaces));
  scanIdentifiers(run, doc.get());
  EXPECT_EQ(merge(run, doc.get(), false), 2);
  xmlNode* first = findWorkspace(doc.get(), "Kreslení");
  EXPECT_EQ(entries(first),
            (std::vector<std::string>{"ID_Express WSTU_1 70,112", "TBU_0003 WSTU_2 200,112",
                                      "TBU_0005 WSTU_3 580,172", "TBU_0007 WSTU_4 70,172",
                                      "TBU_0009 WSTU_5 741,112", "TBU_0011 WSTU_6 462,112"}));
  EXPECT_EQ(entries(findWorkspace(doc.get(), "Anotace")).back(), "TBU_0011 WSTU_12 462,112");
  // The other group's entry with the same pUID stays first.
  EXPECT_STREQ(attribute(findChild(first, "WSToolbarRoot", false)->firstChild, "MenuGroup"),
               "ACAD");
  EXPECT_EQ(writtenText(findToolbarEntry(first, kGroup, "TBU_0003"), false),
            "\n<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"TBU_0003\" Display=\"1\" "
            "ToolbarOrient=\"floating\" xval=\"200\" yval=\"112\" rows=\"1\" dockrow=\"0\" "
            "dockcolumn=\"0\" UID=\"WSTU_2\" >\n  <Revision MajorVersion=\"16\" MinorVersion=\"2\" "
            "UserVersion=\"1\" />\n</WSToolbar>");
  // An existing, non-empty CommonItems gets no second stamp; the reference goes last.
  xmlNode* items = findCommonItems(doc.get(), false);
  EXPECT_STREQ(items->firstChild->name, "Revision");
  EXPECT_EQ(references(doc.get()), (std::vector<std::string>{"other.cui", kPath}));
  EXPECT_TRUE(checkTree(doc.get()));
}

TEST(MenuMerge, AddingAgainKeepsWhatIsThereAndRemoveRestoresTheText) {
  EditRun run;
  xmlNodeHolder doc(parseText(kTwoWorkspaces));
  const std::string before = writtenText(doc.get());
  scanIdentifiers(run, doc.get());
  merge(run, doc.get(), false);
  const std::string added = writtenText(doc.get());
  EXPECT_EQ(merge(run, doc.get(), false), 2);
  EXPECT_EQ(writtenText(doc.get()), added);
  EXPECT_TRUE(findAddOnContent(doc.get(), kPath, kGroup, kIds, 6).complete(6));

  // The user moves one toolbar (and writes its group in lower case), deletes one and copies
  // one; the add keeps the moved one, drops the copy and puts the deleted one back last.
  xmlNode* second = findWorkspace(doc.get(), "Anotace");
  setAttribute(findToolbarEntry(second, kGroup, "TBU_0007"), "xval", "999");
  setAttribute(findToolbarEntry(second, kGroup, "TBU_0007"), "MenuGroup", "norvex_express");
  detach(findToolbarEntry(second, kGroup, "TBU_0003"), true);
  xmlNode* copy = newNode("WSToolbar", nullptr);
  setAttribute(copy, "MenuGroup", kGroup);
  setAttribute(copy, "pUID", "ID_Express");
  setAttribute(copy, "UID", "WSTU_99");
  appendChild(findChild(second, "WSToolbarRoot", false), copy);
  AddOnContent content = findAddOnContent(doc.get(), kPath, kGroup, kIds, 6);
  EXPECT_EQ(content.entries, 11);
  EXPECT_EQ(content.laterEntries, 1);
  merge(run, doc.get(), false);
  EXPECT_EQ(entries(second),
            (std::vector<std::string>{"ID_Express WSTU_7 70,112", "TBU_0005 WSTU_9 580,172",
                                      "TBU_0007 WSTU_10 999,172", "TBU_0009 WSTU_11 741,112",
                                      "TBU_0011 WSTU_12 462,112", "TBU_0003 WSTU_13 200,112"}));
  EXPECT_EQ(references(doc.get()).size(), 2u);
  EXPECT_TRUE(checkTree(doc.get()));

  EXPECT_EQ(merge(run, doc.get(), true), 2);
  EXPECT_EQ(writtenText(doc.get()), before);
  EXPECT_TRUE(findAddOnContent(doc.get(), kPath, kGroup, kIds, 6).absent());
  EXPECT_EQ(merge(run, doc.get(), true), 2);
  EXPECT_EQ(writtenText(doc.get()), before);
}

TEST(MenuMerge, RemoveKeepsEntriesThatAreNotTheAddOns) {
  EditRun run;
  xmlNodeHolder doc(
      parseText("<CustSection><Header><WorkspaceRoot><Workspace><Name>A</Name><WSToolbarRoot>"
                "<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"TBU_0099\" UID=\"WSTU_1\" />"
                "<WSToolbar MenuGroup=\"ACAD\" pUID=\"ID_Express\" UID=\"WSTU_2\" />"
                "<WSToolbar MenuGroup=\"norvex_express\" pUID=\"id_express\" UID=\"WSTU_3\" />"
                "<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"ID_Express\" UID=\"WSTU_4\" />"
                "</WSToolbarRoot></Workspace></WorkspaceRoot></Header></CustSection>"));
  merge(run, doc.get(), true);
  std::vector<std::string> left;
  for (xmlNode* e = findChild(findWorkspace(doc.get(), "A"), "WSToolbarRoot", false)->firstChild; e;
       e = e->next)
    left.push_back(attribute(e, "UID"));
  EXPECT_EQ(left, (std::vector<std::string>{"WSTU_1", "WSTU_2"}));
  EXPECT_EQ(findCommonItems(doc.get(), false), nullptr);  // nothing created by a remove
}

TEST(MenuMerge, MissingContainersAreMadeAndNamelessDocumentsLeftAlone) {
  EditRun run;
  xmlNodeHolder bare(
      parseText("<CustSection><Header><WorkspaceRoot><Workspace><Name>A</Name>"
                "</Workspace></WorkspaceRoot></Header></CustSection>"));
  EXPECT_EQ(merge(run, bare.get(), false), 1);
  xmlNode* items = findCommonItems(bare.get(), false);
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(writtenText(items->firstChild),
            "\n<Revision MajorVersion=\"16\" MinorVersion=\"2\" UserVersion=\"0\" />"
            "\n<PartialMenuFile>" +
                std::string(kPath) + "</PartialMenuFile>");
  EXPECT_EQ(entries(findWorkspace(bare.get(), "A")).size(), 6u);

  const char* unnamed[] = {
      "<CustSection><Header><WorkspaceRoot><Workspace><Other /></Workspace>"
      "<Workspace><Name /></Workspace></WorkspaceRoot></Header></CustSection>",
      "<CustSection />", "<Other><Workspace><Name>A</Name></Workspace></Other>"};
  for (const char* text : unnamed) {
    xmlNodeHolder doc(parseText(text));
    const std::string before = writtenText(doc.get());
    EXPECT_EQ(merge(run, doc.get(), false), 0) << text;
    EXPECT_EQ(writtenText(doc.get()), before) << text;
  }
}

TEST(MenuMerge, WorkspacesOfTheSameNameAllGetTheEntries) {
  EditRun run;
  xmlNodeHolder doc(
      parseText("<CustSection><Header><WorkspaceRoot>"
                "<Workspace><Name>A</Name></Workspace>"
                "<Workspace><Name>a</Name></Workspace>"
                "</WorkspaceRoot></Header></CustSection>"));
  EXPECT_EQ(merge(run, doc.get(), false), 2);
  xmlNode* first = findWorkspace(doc.get(), "A");
  EXPECT_EQ(entries(first).size(), 6u);
  EXPECT_EQ(entries(findNextNamed(first, "Workspace")).size(), 6u);
  // A merge for one name reaches the first of them only.
  EXPECT_EQ(mergeMenuGroup(run, doc.get(), "a", kPath, kGroup, kIds, kPositions, 6, true), 1);
  EXPECT_TRUE(entries(first).empty());
  EXPECT_EQ(entries(findNextNamed(first, "Workspace")).size(), 6u);
}

// A name in a CDATA section is a name: the workspace is found by it and takes the entries,
// and the name is written back as it was read.
TEST(MenuMerge, WorkspaceNamedInCdataGetsTheEntries) {
  EditRun run;
  xmlNodeHolder doc(
      parseText("<CustSection><Header><WorkspaceRoot>"
                "<Workspace><Name><![CDATA[My <space>]]></Name></Workspace>"
                "<Workspace><Name><![CDATA[x]]><!-- c --><Other /></Name></Workspace>"
                "</WorkspaceRoot></Header></CustSection>"));
  xmlNode* named = findWorkspace(doc.get(), "my <SPACE>");
  ASSERT_NE(named, nullptr);
  EXPECT_STREQ(workspaceName(named), "My <space>");
  EXPECT_EQ(workspaceName(findNextNamed(named, "Workspace")), nullptr);
  EXPECT_EQ(merge(run, doc.get(), false), 1);
  EXPECT_EQ(entries(named).size(), 6u);
  EXPECT_EQ(writtenText(findChild(named, "Name", false), false),
            "\n<Name><![CDATA[My <space>]]></Name>");
  EXPECT_TRUE(checkTree(doc.get()));
}

TEST(MenuMerge, ReferencesAreKnownByFileNameInAnyFolderAndWrittenForm) {
  const char path[] = "c:\\a&b <\"x\">\\norvex_express.CUI";
  EXPECT_EQ(writtenForm(path), "c:\\a&amp;b &lt;&quot;x&quot;&gt;\\norvex_express.CUI");
  EditRun run;
  xmlNodeHolder doc(parseText(kTwoWorkspaces));
  merge(run, doc.get(), false, path);
  EXPECT_EQ(references(doc.get()).back(), writtenForm(path));
  merge(run, doc.get(), true, path);
  EXPECT_EQ(references(doc.get()), std::vector<std::string>{"other.cui"});

  // Stored by other writers and other versions: character references, other case, other
  // separators, blanks, the bare file name, other folders, the other extension. The first
  // keeps its place with the path as its text; the others go.
  struct Row {
    const char* stored;
    bool addOns;  // the add-on's reference
    bool path;    // naming the path itself
  };
  const Row rows[] = {
      {"C:/A&#38;B &#x3C;&quot;X\"&gt;/NORVEX_EXPRESS.cui", true, true},
      {"  c:\\a&amp;b &lt;&quot;x&quot;&gt;\\norvex_express.CUI\r\n", true, true},
      {"Norvex_Express.CUI", true, false},
      {"d:\\elsewhere\\norvex_express.cuix", true, false},
      {"C:\\Users\\jana.CONTOSO\\Support\\norvex_&#x65;xpress.cui", true, false},
      {"d:\\norvex_express.cui.bak", false, false},
      {"d:\\norvex_express", false, false},
      {"d:\\my_norvex_express.cui", false, false},
      {"a&#0;b", false, false},
  };
  for (const Row& row : rows) {
    xmlNodeHolder one(
        parseText((std::string("<CustSection><Header><CommonConfiguration><CommonItems>"
                               "<PartialMenuFile>first.cui</PartialMenuFile><PartialMenuFile>") +
                   row.stored +
                   "</PartialMenuFile><PartialMenuFile>last.cui</PartialMenuFile></CommonItems>"
                   "</CommonConfiguration><WorkspaceRoot><Workspace><Name>A</Name></Workspace>"
                   "</WorkspaceRoot></Header></CustSection>")
                      .c_str()));
    ASSERT_NE(one, nullptr) << row.stored;
    const AddOnContent content = findAddOnContent(one.get(), path, kGroup, kIds, 6);
    EXPECT_EQ(content.references, row.addOns ? 1 : 0) << row.stored;
    EXPECT_EQ(content.firstNamesPath, row.path) << row.stored;
    merge(run, one.get(), false, path);
    std::vector<std::string> expected{"first.cui", row.path ? row.stored : writtenForm(path),
                                      "last.cui"};
    if (!row.addOns) expected = {"first.cui", row.stored, "last.cui", writtenForm(path)};
    EXPECT_EQ(references(one.get()), expected) << row.stored;
    merge(run, one.get(), true, path);
    EXPECT_EQ(references(one.get()).size(), row.addOns ? 2u : 3u) << row.stored;
  }

  // Several at once: the first stays in its place, rewritten; a CDATA section goes with it.
  xmlNodeHolder many(parseText(
      "<CustSection><Header><CommonConfiguration><CommonItems>"
      "<PartialMenuFile>a.cui</PartialMenuFile>"
      "<partialmenufile><![CDATA[e:\\old\\norvex_express.cui]]></partialmenufile>"
      "<PartialMenuFile>b.cui</PartialMenuFile>"
      "<PartialMenuFile>norvex_express.CUI</PartialMenuFile>"
      "</CommonItems></CommonConfiguration><WorkspaceRoot><Workspace><Name>A</Name></Workspace>"
      "</WorkspaceRoot></Header></CustSection>"));
  EXPECT_EQ(findAddOnContent(many.get(), path, kGroup, kIds, 6).references, 2);
  merge(run, many.get(), false, path);
  EXPECT_EQ(references(many.get()),
            (std::vector<std::string>{"a.cui", writtenForm(path), "b.cui"}));
  // The kept one is written as the host reads it; spelled otherwise, it is not complete.
  EXPECT_STREQ(findCommonItems(many.get(), false)->firstChild->next->name, "PartialMenuFile");
  setName(findCommonItems(many.get(), false)->firstChild->next, "PARTIALMENUFILE");
  EXPECT_FALSE(findAddOnContent(many.get(), path, kGroup, kIds, 6).firstSpelledExactly);
  EXPECT_TRUE(checkTree(many.get()));
  EXPECT_FALSE(addPartialMenu(run, doc.get(), ""));
}

TEST(MenuMerge, PackagesTakeTheReferenceInTheirHeaderPart) {
  const char workspaceRoot[] =
      "<?xml version=\"1.0\"?><WorkspaceRoot><Workspace><Name>A</Name></Workspace>"
      "</WorkspaceRoot>";
  EditRun run;
  setFormatVersion(run, 18, 0);
  xmlNodeHolder package(
      makePackage({{"Header.cui", "<?xml version=\"1.0\"?><CustSection><Header /></CustSection>"},
                   {"WorkspaceRoot.cui", workspaceRoot}}));
  EXPECT_EQ(merge(run, package.get(), false), 1);
  xmlNode* header = findChild(package.get(), "Header.cui", false);
  EXPECT_EQ(findCommonItems(package.get(), false)->parent->parent->parent->parent, header);
  EXPECT_STREQ(findCommonItems(package.get(), false)->firstChild->name, "ModifiedRev");
  EXPECT_EQ(entries(findWorkspace(package.get(), "A")).size(), 6u);
  EXPECT_STREQ(
      findToolbarEntry(findWorkspace(package.get(), "A"), kGroup, "TBU_0011")->firstChild->name,
      "ModifiedRev");
  EXPECT_EQ(merge(run, package.get(), true), 1);
  EXPECT_EQ(references(package.get()).size(), 0u);

  // Without a header part, one is made for the reference.
  xmlNodeHolder headless(makePackage({{"WorkspaceRoot.cui", workspaceRoot}}));
  EXPECT_EQ(merge(run, headless.get(), false), 1);
  EXPECT_NE(findChild(headless.get(), "Header.cui", false), nullptr);
  EXPECT_EQ(references(headless.get()), std::vector<std::string>{kPath});
}

}  // namespace
