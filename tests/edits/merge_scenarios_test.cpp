#include <gtest/gtest.h>

#include <string>

#include "document/xml_parser.h"
#include "edits/element_search.h"
#include "edits/menu_merge.h"

namespace {

const char* const kIds[] = {"ID_Express", "TBU_0003", "TBU_0005",
                            "TBU_0007",   "TBU_0009", "TBU_0011"};
const int kPositions[] = {70, 112, 200, 112, 580, 172, 70, 172, 741, 112, 462, 112};
const char kPath[] = "c:\\data\\support\\norvex_express.CUIX";

xmlNode* parse(const std::string& text) {
  return parseDocument(text.c_str(), newNode(nullptr, nullptr));
}

std::string workspaces(const std::string& inner) {
  return "<?xml version=\"1.0\"?><CustSection><Header><WorkspaceRoot>" + inner +
         "</WorkspaceRoot></Header></CustSection>";
}

int entries(xmlNode* workspace, const char* group) {
  int count = 0;
  xmlNode* root = findChild(workspace, "WSToolbarRoot", false);
  for (xmlNode* e = root ? root->firstChild : nullptr; e; e = e->next) {
    xmlNode* g = findSibling(e->firstAttribute, "MenuGroup");
    if (g && equalsIgnoreCase(g->value, group)) ++count;
  }
  return count;
}

int references(xmlNode* document) {
  int count = 0;
  xmlNode* items = findCommonItems(document, false);
  for (xmlNode* c = items ? items->firstChild : nullptr; c; c = c->next)
    if (equalsIgnoreCase(c->name, "PartialMenuFile")) ++count;
  return count;
}

int merge(EditRun& run, xmlNode* document, bool remove, const char* path = kPath) {
  return mergeMenuGroup(run, document, nullptr, path, "NORVEX_EXPRESS", kIds, kPositions, 6,
                        remove);
}

TEST(Identifiers, ScanCountsUnderTheFirstMatchingPrefix) {
  EditRun run;
  xmlNode* document = parse(
      "<r UID=\"WSU_12\"><a UID=\"wsu_3\"/><b UID=\"WS_5\"/><c UID=\"WSTU_41\"/>"
      "<d UID=\"WSTU_x\"/></r>");
  scanIdentifiers(run, document);
  EXPECT_EQ(run.idPrefixTable[1].counter, 13u);
  EXPECT_EQ(run.idPrefixTable[0].counter, 6u);
  EXPECT_EQ(newToolbarId(run), "WSTU_42");
  EXPECT_EQ(newToolbarId(run), "WSTU_43");
  // A later document without such identifiers continues the sequence.
  xmlNode* other = parse("<r UID=\"WSTU_2\"/>");
  scanIdentifiers(run, other);
  EXPECT_EQ(newToolbarId(run), "WSTU_44");
  destroyNode(document);
  destroyNode(other);

  EditRun wrap;
  xmlNode* last = parse("<r UID=\"WSTU_4294967295\"/>");
  scanIdentifiers(wrap, last);
  EXPECT_EQ(wrap.idPrefixTable[kToolbarIdPrefix].counter, 0u);
  destroyNode(last);
  EXPECT_STREQ(orientationName(5), "ignore");
  EXPECT_STREQ(orientationName(-1), "ignore");
  EXPECT_STREQ(orientationName(0), "floating");
}

TEST(Search, WorkspacesAndEntries) {
  xmlNode* document = parse(workspaces(
      "<Workspace><X/></Workspace><Workspace><Name>Drafting</Name><WSToolbarRoot>"
      "<WSToolbar MenuGroup=\"norvex_express\" pUID=\"TBU_0003\"/><WSToolbar pUID=\"TBU_0003\"/>"
      "</WSToolbarRoot></Workspace>"));
  ASSERT_TRUE(document);
  xmlNode* first = findWorkspace(document, nullptr);
  ASSERT_TRUE(first);
  EXPECT_STREQ(workspaceName(first), "Drafting");
  EXPECT_EQ(findWorkspace(document, "drafting"), first);
  EXPECT_TRUE(findToolbarEntry(first, "NORVEX_EXPRESS", "tbu_0003"));
  EXPECT_FALSE(findToolbarEntry(first, "NORVEX_EXPRESS", "TBU_0005"));
  EXPECT_EQ(findNextNamed(first, "Workspace"), nullptr);
  EXPECT_TRUE(checkTree(document));
  first->next = first;  // a broken back link
  xmlNode* saved = first->next;
  EXPECT_FALSE(checkTree(document));
  first->next = nullptr;
  (void)saved;
  destroyNode(document);
}

TEST(Merge, AddTwiceThenRemoveLeavesContainersOnly) {
  EditRun run;
  xmlNode* document =
      parse(workspaces("<Workspace><Name>A</Name><WSToolbarRoot><WSToolbar MenuGroup=\"ACAD\" "
                       "pUID=\"TBU_0003\" UID=\"WSTU_1\"/>"
                       "<WSToolbar MenuGroup=\"NORVEX_EXPRESS\" pUID=\"TBU_9999\"/>"
                       "<WSToolbar MenuGroup=\"norvex_express\" pUID=\"TBU_0005\" xval=\"1\"/>"
                       "<WSToolbar MenuGroup=\"norvex_express\" pUID=\"TBU_0005\" "
                       "xval=\"2\"/></WSToolbarRoot></Workspace>"
                       "<Workspace><Name>B</Name></Workspace>"));
  ASSERT_TRUE(document);
  scanIdentifiers(run, document);
  EXPECT_EQ(merge(run, document, false), 2);
  xmlNode* a = findWorkspace(document, "A");
  xmlNode* b = findWorkspace(document, "B");
  EXPECT_EQ(entries(a, "NORVEX_EXPRESS"), 7);  // six and the foreign pUID
  EXPECT_EQ(entries(b, "NORVEX_EXPRESS"), 6);
  xmlNode* firstNew = findToolbarEntry(a, "NORVEX_EXPRESS", "ID_Express");
  EXPECT_STREQ(findSibling(firstNew->firstAttribute, "UID")->value, "WSTU_2");
  EXPECT_STREQ(findSibling(firstNew->firstAttribute, "xval")->value, "70");
  EXPECT_STREQ(firstNew->firstChild->name, "Revision");
  EXPECT_EQ(references(document), 1);
  xmlNode* items = findCommonItems(document, false);
  EXPECT_STREQ(items->firstChild->name, "Revision");

  EXPECT_EQ(merge(run, document, false), 2);
  EXPECT_EQ(entries(b, "NORVEX_EXPRESS"), 6);
  EXPECT_EQ(references(document), 1);

  merge(run, document, true);
  EXPECT_EQ(entries(a, "NORVEX_EXPRESS"), 1);
  EXPECT_EQ(entries(a, "ACAD"), 1);
  EXPECT_EQ(entries(b, "NORVEX_EXPRESS"), 0);
  EXPECT_EQ(references(document), 0);
  EXPECT_TRUE(findCommonItems(document, false));
  destroyNode(document);
}

TEST(Merge, ReferencesInWrittenFormAndBareFileNames) {
  EditRun run;
  xmlNode* document = parse(workspaces("<Workspace><Name>A</Name></Workspace>"));
  const char path[] = "c:\\r&d <x>\\norvex_express.CUI";
  merge(run, document, false, path);
  xmlNode* reference = findChildWithText(findCommonItems(document, false), "PartialMenuFile",
                                         "c:\\r&amp;d &lt;x&gt;\\norvex_express.CUI", false);
  EXPECT_TRUE(reference);
  appendChild(findCommonItems(document, false), newNode("PartialMenuFile", "NORVEX_EXPRESS.cui"));
  merge(run, document, true, path);
  EXPECT_EQ(references(document), 0);
  destroyNode(document);

  xmlNode* unnamed = parse(workspaces("<Workspace><X/></Workspace>"));
  EXPECT_EQ(merge(run, unnamed, false), 0);
  EXPECT_EQ(findCommonItems(unnamed, false), nullptr);
  destroyNode(unnamed);
}

TEST(Merge, PackagesAndStampVersions) {
  struct PackageMark : extraData {
    PackageMark() : extraData(kExtraPackageRoot) {}
  };
  EditRun run;
  setFormatVersion(run, 18, 0);
  xmlNode* root = newNode(nullptr, nullptr);
  root->extra = new PackageMark;
  xmlNode* part = newNode("WorkspaceRoot.cui", nullptr);
  appendChild(root, part);
  xmlNode* content = parse("<WorkspaceRoot><Workspace><Name>A</Name></Workspace></WorkspaceRoot>");
  part->firstChild = content;
  content->parent = part;
  EXPECT_EQ(merge(run, root, false), 1);
  xmlNode* header = findChild(root, "Header.cui", false);
  ASSERT_TRUE(header);
  xmlNode* entry = findToolbarEntry(findWorkspace(root, "A"), "NORVEX_EXPRESS", "TBU_0011");
  ASSERT_TRUE(entry);
  EXPECT_STREQ(entry->firstChild->name, "ModifiedRev");
  EXPECT_STREQ(findSibling(entry->firstChild->firstAttribute, "MajorVersion")->value, "18");
  EXPECT_FALSE(checkTree(root));
  destroyNode(root);

  setFormatVersion(run, 17, 1);
  xmlNode* stamp = makeRevisionStamp(run, 1);
  EXPECT_STREQ(stamp->name, "Revision");
  destroyNode(stamp);
  setFormatVersion(run, 17, 2);
  stamp = makeRevisionStamp(run, 1);
  EXPECT_STREQ(stamp->name, "ModifiedRev");
  destroyNode(stamp);
}

}  // namespace
