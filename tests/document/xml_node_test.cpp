#include "document/xml_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ascii_text.h"
#include "tests/support/allocation_faults.h"

namespace {

int liveExtras = 0;
struct countedExtra : extraData {
  explicit countedExtra(std::int32_t kind) : extraData(kind) { ++liveExtras; }
  ~countedExtra() override { --liveExtras; }
};

// parent->firstChild = a, b, c ... with the names given.
xmlNode* makeParent(const std::vector<const char*>& names) {
  xmlNode* parent = newNode("P", nullptr);
  for (const char* name : names) appendChild(parent, newNode(name, nullptr));
  return parent;
}

// Names along the child chain, checking every back link on the way.
std::string childNames(const xmlNode* parent) {
  std::string names;
  const xmlNode* prev = nullptr;
  for (const xmlNode* c = parent->firstChild; c; prev = c, c = c->next) {
    EXPECT_EQ(c->prev, prev);
    EXPECT_EQ(c->parent, parent);
    names += c->name ? c->name : "~";
  }
  return names;
}

TEST(DocumentTree, LookupsScanTheWholeChainIgnoringAsciiCase) {
  xmlNodeHolder parent(makeParent({"MenuGroup", nullptr, "b", "Name"}));
  xmlNode* third = parent->firstChild->next->next;
  EXPECT_EQ(findSibling(third, "menugroup"), parent->firstChild);   // back to the chain's start
  EXPECT_EQ(findSibling(parent->firstChild, "NAME"), third->next);  // past a nameless node
  EXPECT_EQ(findSibling(third, "Nam"), nullptr);
  EXPECT_EQ(findSibling(nullptr, "b"), nullptr);
  EXPECT_EQ(findSibling(third, nullptr), nullptr);
  EXPECT_FALSE(platform::equalsIgnoringAsciiCase("\xc3\x89", "\xc3\xa9"));  // only ASCII folds

  // A child of the right name whose content is elements is passed over.
  xmlNode* withKids = findChild(parent.get(), "b", false);
  appendChild(withKids, newNode("x", nullptr));
  xmlNode* text = newNode("B", "Path\\File.cui");
  appendChild(parent.get(), text);
  EXPECT_EQ(findChildWithText(parent.get(), "b", "path\\file.CUI", false), text);
  EXPECT_EQ(findChildWithText(parent.get(), "b", "other", false), nullptr);
  xmlNode* made = findChildWithText(parent.get(), "b", "other", true);
  ASSERT_NE(made, nullptr);
  EXPECT_STREQ(made->value, "other");
  EXPECT_EQ(made->prev, text);
}

TEST(DocumentTree, CreatingLookupsPlaceNewNodes) {
  xmlNodeHolder parent(makeParent({"a", "b", "c"}));
  xmlNode* added = findOrAddSibling(parent->firstChild, "x", true);
  EXPECT_EQ(childNames(parent.get()), "axbc");  // directly after the given node, not at the end
  EXPECT_EQ(findOrAddSibling(parent->firstChild->next->next, "X", true), added);
  ASSERT_NE(findChild(parent.get(), "z", true), nullptr);
  EXPECT_EQ(childNames(parent.get()), "axbcz");
  EXPECT_EQ(findChild(parent.get(), "y", false), nullptr);
  EXPECT_EQ(childNames(parent.get()), "axbcz");
}

TEST(DocumentTree, SettersCopyAndKeepPlaces) {
  xmlNodeHolder element(newNode("E", nullptr));
  std::string name = "Id";
  xmlNode* id = setAttribute(element.get(), name.c_str(), "1");
  setAttribute(element.get(), "k", "v");
  name[0] = 'X';  // the tree holds its own copy
  EXPECT_EQ(setAttribute(element.get(), "ID", "2"), id);
  EXPECT_STREQ(element->firstAttribute->name, "Id");  // stored case and place stay
  EXPECT_STREQ(element->firstAttribute->value, "2");
  EXPECT_EQ(element->firstAttribute->next->parent, element.get());
  EXPECT_EQ(setAttribute(element.get(), nullptr, "v"), nullptr);
  EXPECT_TRUE(setValue(id, nullptr));
  EXPECT_EQ(id->value, nullptr);
  EXPECT_FALSE(setName(element.get(), nullptr));
  EXPECT_STREQ(element->name, "E");

  // Texts given as ranges are cut at their length; replacing texts made with the node, and
  // then the replacements, frees each exactly once (the sanitizers check).
  const char source[] = "NameRest\"value\"";
  xmlNodeHolder made(newNodeWithTexts(source, 4, source + 9, 5));
  ASSERT_NE(made.get(), nullptr);
  EXPECT_STREQ(made->name, "Name");
  EXPECT_STREQ(made->value, "value");
  for (const char* text : {"Second", "Third"}) {
    EXPECT_TRUE(setName(made.get(), text));
    EXPECT_TRUE(setValue(made.get(), text));
  }
  EXPECT_STREQ(made->name, "Third");
  xmlNodeHolder bare(newNodeWithTexts(nullptr, 0, "", 0));
  ASSERT_NE(bare.get(), nullptr);
  EXPECT_EQ(bare->name, nullptr);
  EXPECT_STREQ(bare->value, "");
}

TEST(DocumentTree, DetachRelinksEveryPosition) {
  struct Case {
    int index;
    const char* left;
  } cases[] = {{0, "bcd"}, {1, "acd"}, {3, "abc"}};
  for (const Case& c : cases) {
    xmlNodeHolder parent(makeParent({"a", "b", "c", "d"}));
    xmlNode* node = parent->firstChild;
    for (int i = 0; i < c.index; ++i) node = node->next;
    detach(node, false);
    EXPECT_EQ(childNames(parent.get()), c.left) << c.index;
    EXPECT_TRUE(!node->prev && !node->next && !node->parent);
    xmlNodeHolder(node).reset();  // only itself: its links are gone
    EXPECT_EQ(childNames(parent.get()), c.left);
  }
  detach(nullptr, true);

  // The first attribute too: the element must not keep pointing at it.
  xmlNodeHolder element(newNode("E", nullptr));
  xmlNode* first = setAttribute(element.get(), "a", "1");
  setAttribute(element.get(), "b", "2");
  detach(first, true);
  ASSERT_NE(element->firstAttribute, nullptr);
  EXPECT_STREQ(element->firstAttribute->name, "b");
  EXPECT_EQ(element->firstAttribute->prev, nullptr);
}

TEST(DocumentTree, ChangesMarkTheNodeAndEveryAncestor) {
  xmlNodeHolder root(makeParent({"a", "b"}));
  xmlNode* leaf = newNode("leaf", "t");
  appendChild(root->firstChild->next, leaf);
  xmlNode* untouched = root->firstChild;
  for (xmlNode* n : {root.get(), untouched, root->firstChild->next, leaf}) n->edited = false;

  setValue(leaf, "u");
  EXPECT_TRUE(leaf->edited && leaf->parent->edited && root->edited);
  EXPECT_FALSE(untouched->edited);

  // Under a marked ancestor, a later change still marks the path between.
  xmlNode* deeper = newNode("d", nullptr);
  appendChild(untouched, deeper);
  deeper->edited = untouched->edited = false;
  setAttribute(deeper, "k", "v");
  EXPECT_TRUE(deeper->edited && untouched->edited);
}

TEST(DocumentTree, DestroyTakesEveryOwnedNodeAndExtra) {
  xmlNodeHolder first(newNode("a", nullptr));
  first->extra = new countedExtra(kExtraPackageRoot);
  xmlNode* second = newNode("b", nullptr);
  insertAfter(first.get(), second);
  xmlNode* child = newNode("c", "t");
  child->extra = new countedExtra(kExtraPartName);
  appendChild(second, child);
  setAttribute(child, "n", "v")->extra = new countedExtra(7);
  EXPECT_EQ(topNode(child->firstAttribute), second);
  EXPECT_FALSE(isPackageDocument(child));
  EXPECT_TRUE(isPackageDocument(first.get()));
  EXPECT_EQ(liveExtras, 3);
  first.reset();
  EXPECT_EQ(liveExtras, 0);
}

// Clean-up must work when memory has run out: destroying a tree allocates nothing.
TEST(DocumentTree, DestroyNeedsNoMemory) {
  xmlNodeHolder root(newNode("r", nullptr));
  ASSERT_TRUE(setTrailingComment(root.get(), strdup("end")));
  xmlNode* bottom = root.get();
  for (int i = 0; i < 2000; ++i) {
    xmlNode* child = findChild(bottom, i % 2 ? "a" : "b", true);
    setAttribute(child, "k", "v")->extra = new countedExtra(7);
    appendChild(bottom, newNode("sibling", "text"));
    setNodeComment(child, strdup("c"));
    bottom = child;
  }
  insertAfter(root.get(), newNode("next", nullptr));
  root->next->extra = new countedExtra(kExtraPackageRoot);
  {
    test_support::MemoryRunsOutAfter noMemory(0);
    root.reset();
  }
  EXPECT_EQ(test_support::allocationCalls, 0);
  EXPECT_EQ(liveExtras, 0);
}

TEST(DocumentTree, LongChainsAndDeepTreesAreDestroyedWithoutRecursion) {
  xmlNodeHolder chain(newNode("n", nullptr));
  xmlNode* last = chain.get();
  for (int i = 0; i < 1000000; ++i) {
    insertAfter(last, newNode("n", nullptr));
    last = last->next;
  }
  xmlNodeHolder deep(newNode("d", nullptr));
  xmlNode* bottom = deep.get();
  for (int i = 0; i < 1000000; ++i) bottom = findChild(bottom, "d", true);
}

}  // namespace
