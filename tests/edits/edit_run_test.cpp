#include "edits/edit_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "edit_test_support.h"
#include "edits/element_search.h"
#include "edits/menu_merge.h"
#include "tests/support/tree_check.h"

namespace {

using test_support::checkTree;

std::uint32_t counter(const EditRun& run, const char* prefix) {
  for (const IdPrefix& entry : run.idPrefixTable)
    if (std::string(entry.prefix) == prefix) return entry.counter;
  ADD_FAILURE() << prefix;
  return 0;
}

TEST(IdentifierScan, CountsUnderTheFirstMatchingPrefix) {
  EditRun run;
  xmlNodeHolder document(parseText(kWorkspaceDocument));
  scanIdentifiers(run, document.get());
  EXPECT_EQ(counter(run, "WSU_"), 13u);  // WSU_12 and wsu_3, not under WS_
  EXPECT_EQ(counter(run, "WS_"), 6u);
  EXPECT_EQ(counter(run, "WSTU_"), 42u);
  EXPECT_EQ(counter(run, "WSC_"), 1u);

  xmlNodeHolder more(
      parseText("<R><A UID=\"WSCU_3\" /><A UID=\"WSC_x\" /><A UID=\"XLSR_ 7z\" />"
                "<A UID=\"WSTU_5\" /><A UID=\"NOPREFIX_99\" /></R>"));
  scanIdentifiers(run, more.get());
  EXPECT_EQ(counter(run, "WSCU_"), 4u);
  EXPECT_EQ(counter(run, "WSC_"), 1u);    // no digits count as 0
  EXPECT_EQ(counter(run, "XLSR_"), 8u);   // read as atol reads it
  EXPECT_EQ(counter(run, "WSTU_"), 42u);  // never lowered
}

TEST(IdentifierScan, ContinuesAcrossDocumentsAndWrapsAround) {
  EditRun run;
  xmlNodeHolder first(parseText("<R><A UID=\"WSTU_41\" /></R>"));
  scanIdentifiers(run, first.get());
  EXPECT_EQ(newToolbarId(run), "WSTU_42");
  EXPECT_EQ(newToolbarId(run), "WSTU_43");
  EXPECT_EQ(newToolbarId(run), "WSTU_44");
  xmlNodeHolder second(parseText("<R><A UID=\"WSTU_3\" /></R>"));
  scanIdentifiers(run, second.get());
  EXPECT_EQ(newToolbarId(run), "WSTU_45");

  // The counter is unsigned 32-bit: the highest number makes it 0.
  EditRun wrapped;
  xmlNodeHolder top(parseText("<R><A UID=\"WSTU_4294967295\" /></R>"));
  scanIdentifiers(wrapped, top.get());
  EXPECT_EQ(counter(wrapped, "WSTU_"), 0u);
  EXPECT_EQ(newToolbarId(wrapped), "WSTU_0");
  EXPECT_EQ(newToolbarId(wrapped), "WSTU_1");
}

// Numbers of every shape: each counter ends one above the largest number read for its prefix,
// as atol-like reading taken modulo 2^32 gives it.
TEST(IdentifierScan, ReadsNumbersOfEveryShapeAsAtolDoes) {
  std::mt19937 random(20261208);
  const char* const tails[] = {"", " ", "\t", "-", "+", "0", "x", "9", "00", "7", "1234567890"};
  for (int round = 0; round < 200; ++round) {
    EditRun run;
    std::uint32_t expected = 1;
    std::string text = "<R>";
    for (int i = 0; i < 8; ++i) {
      std::string number;
      for (int piece = random() % 4; piece > 0; --piece) number += tails[random() % 11];
      const auto read = static_cast<std::uint32_t>(std::strtoll(number.c_str(), nullptr, 10));
      if (expected <= read) expected = read + 1;
      text += std::string("<A UID=\"") + (random() % 2 ? "WSTU_" : "wstu_") + number + "\" />";
    }
    xmlNodeHolder document(parseText((text + "</R>").c_str()));
    ASSERT_NE(document.get(), nullptr) << text;
    scanIdentifiers(run, document.get());
    EXPECT_EQ(counter(run, "WSTU_"), expected) << text;
  }
}

TEST(IdentifierScan, WalksDeepTreesWithoutRecursion) {
  std::string text;
  const int depth = 200;
  for (int i = 0; i < depth; ++i) text += "<E>";
  text += "<E UID=\"WSTU_77\" />";
  for (int i = 0; i < depth; ++i) text += "</E>";
  EditRun run;
  xmlNodeHolder document(parseText(text.c_str()));
  ASSERT_NE(document.get(), nullptr);
  scanIdentifiers(run, document.get());
  EXPECT_EQ(counter(run, "WSTU_"), 78u);
  EXPECT_TRUE(checkTree(document.get()));
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
    xmlNodeHolder parent(newNode("Parent", nullptr));
    xmlNode* stamp = appendRevisionStamp(run, parent.get(), 3);
    ASSERT_EQ(parent->firstChild, stamp);
    EXPECT_EQ(writtenText(stamp), "\n<" + std::string(v.name) + " MajorVersion=\"" +
                                      std::to_string(v.major) + "\" MinorVersion=\"" +
                                      std::to_string(v.minor) + "\" UserVersion=\"3\" />");
  }
  xmlNodeHolder parent(newNode("Parent", nullptr));
  EXPECT_STREQ(appendRevisionStamp(EditRun(), parent.get(), 0)->name, "Revision");
}

}  // namespace
