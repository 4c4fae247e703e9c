#include "app/dialog_logic.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/resource.h"
#include "dialog_test_support.h"

namespace {

using Messages = std::vector<std::pair<int, unsigned>>;
using Names = std::vector<std::string>;

struct Case {
  const char* name;
  bool remove;
  Names profiles;
  std::vector<ScriptedUi::Choice> choices;
  std::set<std::string> failing;
  // Expected:
  bool asksSelection;
  Names updates;
  Messages messages;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class DialogLogic : public ::testing::TestWithParam<Case> {};

TEST_P(DialogLogic, RunsTheCommand) {
  const Case& c = GetParam();
  FakeOperations operations;
  operations.profiles = c.profiles;
  operations.failing = c.failing;
  ScriptedUi ui;
  ui.choices.assign(c.choices.begin(), c.choices.end());

  if (c.remove)
    OnRemoveClicked(operations, ui);
  else
    OnAddClicked(operations, ui);

  ASSERT_EQ(ui.asked.size(), c.asksSelection ? 1u : 0u);
  if (c.asksSelection) {
    EXPECT_EQ(ui.asked[0].profiles, c.profiles);  // every name, in the listed order
    EXPECT_EQ(ui.asked[0].remove, c.remove);
  }
  EXPECT_EQ(operations.updates(), c.updates);
  EXPECT_EQ(ui.messages, c.messages);
}

const unsigned kInfo = kIconInformation, kError = kIconError;

INSTANTIATE_TEST_SUITE_P(
    Commands, DialogLogic,
    ::testing::Values(
        Case{"AddOneProfileAsksNothing",
             false,
             {"Jediný"},
             {},
             {},
             false,
             {"add:Jediný"},
             {{IDS_ADDED, kInfo}}},
        Case{"RemoveOneProfileAsksNothing",
             true,
             {"Jediný"},
             {},
             {},
             false,
             {"remove:Jediný"},
             {{IDS_REMOVED, kInfo}}},
        Case{"AddChoosesTheThird",
             false,
             {"A", "B", "C"},
             {{true, 2}},
             {},
             true,
             {"add:C"},
             {{IDS_ADDED, kInfo}}},
        Case{"RemoveAsksInRemoveMode",
             true,
             {"A", "B", "C"},
             {{true, 1}},
             {},
             true,
             {"remove:B"},
             {{IDS_REMOVED, kInfo}}},
        Case{"AddCancelledChangesNothing", false, {"A", "B"}, {{false, 0}}, {}, true, {}, {}},
        Case{
            "RemoveCancelledChangesNothing", true, {"A", "B", "C"}, {{false, 0}}, {}, true, {}, {}},
        Case{"AddWithoutProfiles", false, {}, {}, {}, false, {}, {{IDS_ADD_FAILED, kError}}},
        Case{"RemoveWithoutProfiles", true, {}, {}, {}, false, {}, {{IDS_REMOVE_FAILED, kError}}},
        Case{"AddFailureIsReported",
             false,
             {"A"},
             {},
             {"A"},
             false,
             {"add:A"},
             {{IDS_ADD_FAILED, kError}}},
        Case{"RemoveFailureIsReported",
             true,
             {"A", "B"},
             {{true, 1}},
             {"B"},
             true,
             {"remove:B"},
             {{IDS_REMOVE_FAILED, kError}}},
        Case{"ChosenIndexPastTheEnd",
             false,
             {"A", "B"},
             {{true, 2}},
             {},
             true,
             {},
             {{IDS_ADD_FAILED, kError}}},
        Case{"ChosenIndexNegative",
             true,
             {"A", "B"},
             {{true, -1}},
             {},
             true,
             {},
             {{IDS_REMOVE_FAILED, kError}}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(DialogLogicRun, AddThenRemoveInOneRunEachShowsItsMessage) {
  FakeOperations operations;
  operations.profiles = {"Výkresy"};
  ScriptedUi ui;
  OnAddClicked(operations, ui);
  OnRemoveClicked(operations, ui);
  EXPECT_EQ(operations.calls, (Names{"list", "add:Výkresy", "list", "remove:Výkresy"}));
  EXPECT_EQ(ui.messages, (Messages{{IDS_ADDED, kInfo}, {IDS_REMOVED, kInfo}}));
}

TEST(DialogLogicRun, EachCommandListsTheProfilesAfresh) {
  FakeOperations operations;
  operations.profiles = {"A"};
  ScriptedUi ui;
  OnAddClicked(operations, ui);
  // A profile created while the dialog is open is offered by the next command.
  operations.profiles = {"A", "Nový"};
  ui.choices.push_back({true, 1});
  OnAddClicked(operations, ui);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].profiles, (Names{"A", "Nový"}));
  EXPECT_EQ(operations.updates(), (Names{"add:A", "add:Nový"}));
}

TEST(DialogLogicHost, ARunningHostStopsBothCommandsBeforeTheyAsk) {
  for (bool remove : {false, true}) {
    FakeOperations operations;
    operations.profiles = {"A", "B"};
    operations.hostRuns = {true};
    ScriptedUi ui;
    ui.choices.push_back({true, 0});
    remove ? OnRemoveClicked(operations, ui) : OnAddClicked(operations, ui);
    EXPECT_TRUE(ui.asked.empty()) << remove;
    EXPECT_TRUE(operations.calls.empty()) << remove;
    EXPECT_EQ(ui.messages, (Messages{{IDS_HOST_RUNNING, kIconWarning}})) << remove;
  }
}

TEST(DialogLogicHost, AHostStartedDuringTheChoiceStopsTheChange) {
  FakeOperations operations;
  operations.profiles = {"A", "B"};
  operations.hostRuns = {false, true};
  ScriptedUi ui;
  ui.choices.push_back({true, 1});
  OnAddClicked(operations, ui);
  EXPECT_EQ(ui.asked.size(), 1u);
  EXPECT_TRUE(operations.updates().empty());
  EXPECT_EQ(ui.messages, (Messages{{IDS_HOST_RUNNING, kIconWarning}}));
  // Once it has ended, the next command goes through.
  ui.messages.clear();
  ui.choices.push_back({true, 1});
  OnAddClicked(operations, ui);
  EXPECT_EQ(operations.updates(), (Names{"add:B"}));
  EXPECT_EQ(ui.messages, (Messages{{IDS_ADDED, kInfo}}));
}

TEST(MessageTexts, NameTheSameReleasesForEveryMessage) {
  const char* releases =
      "AutoCADu LT 2004 (2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014)";
  for (int id : {IDS_ADDED, IDS_ADD_FAILED, IDS_REMOVED, IDS_REMOVE_FAILED}) {
    std::string text = messageText(id);
    ASSERT_GT(text.size(), std::strlen(releases)) << id;
    EXPECT_EQ(text.substr(text.size() - std::strlen(releases)), releases) << id;
  }
  EXPECT_STREQ(messageText(IDS_ADDED),
               "Vortan Express byl přidán do AutoCADu LT 2004 (2005, 2006, 2007, 2008, 2009, "
               "2010, 2011, 2012, 2013, 2014)");
  EXPECT_STREQ(messageText(IDS_REMOVE_PROMPT),
               "Vyberte profil, ze kterého se má Norvex Express odebrat");
  EXPECT_STREQ(messageText(IDS_HOST_RUNNING),
               "AutoCAD LT je spuštěn. Ukončete ho a zkuste to znovu.");
  EXPECT_STREQ(messageText(99), "");
}

}  // namespace
