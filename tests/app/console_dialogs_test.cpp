#include "app/console_dialogs.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/czech_texts.h"
#include "dialog_test_support.h"

namespace {

using Names = std::vector<std::string>;

struct DialogRun {
  int exitCode;
  std::string output;
};

DialogRun runDialog(FakeOperations& operations, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  int code = runConsoleMainDialog(operations, in, out);
  return {code, out.str()};
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const std::string kMainMenu = std::string(NVX_TEXT_MAIN_CAPTION) + "\n  1. " + NVX_TEXT_ADD_BUTTON +
                              "\n  2. " + NVX_TEXT_REMOVE_BUTTON + "\n  3. " +
                              NVX_TEXT_CLOSE_BUTTON + "\n";

TEST(ConsoleMainDialog, ShowsTheMenuAndEndsOnClose) {
  for (const char* input : {"3\n", "", "3", "  3 \r\n"}) {
    FakeOperations operations;
    DialogRun run = runDialog(operations, input);
    EXPECT_EQ(run.exitCode, 0) << input;
    EXPECT_EQ(count(run.output, kMainMenu), 1u) << input;
    EXPECT_TRUE(operations.calls.empty()) << input;
  }
}

TEST(ConsoleMainDialog, AnswersNotShownAreAskedAgain) {
  FakeOperations operations;
  operations.profiles = {"A"};
  // 0 is not a choice of the main dialog; neither are words, fractions or a blank line.
  DialogRun run = runDialog(operations, "0\n4\nx\n1.5\n\n-1\n99999999999999\n1 2\n3\n");
  EXPECT_EQ(count(run.output, kMainMenu), 1u);
  EXPECT_EQ(count(run.output, "> "), 9u);
  EXPECT_TRUE(operations.calls.empty());
}

TEST(ConsoleMainDialog, OneProfileIsChangedAtOnceAndTheMenuComesBack) {
  FakeOperations operations;
  operations.profiles = {"Výkresy"};
  DialogRun run = runDialog(operations, "1\n2\n3\n");
  EXPECT_EQ(operations.updates(), (Names{"add:Výkresy", "remove:Výkresy"}));
  const std::string added = std::string("\n") + NVX_TEXT_MESSAGE_CAPTION + "\n" + NVX_TEXT_ADDED;
  const std::string removed =
      std::string("\n") + NVX_TEXT_MESSAGE_CAPTION + "\n" + NVX_TEXT_REMOVED;
  EXPECT_EQ(count(run.output, added), 1u);
  EXPECT_EQ(count(run.output, removed), 1u);
  EXPECT_LT(run.output.find(added), run.output.find(removed));
  EXPECT_EQ(count(run.output, kMainMenu), 3u);
  EXPECT_EQ(count(run.output, NVX_TEXT_SELECT_CAPTION), 0u);
}

TEST(ConsoleMainDialog, FailuresAndMissingProfilesShowTheFailureText) {
  FakeOperations none;
  DialogRun run = runDialog(none, "2\n1\n");
  EXPECT_NE(run.output.find(NVX_TEXT_REMOVE_FAILED), std::string::npos);
  EXPECT_NE(run.output.find(NVX_TEXT_ADD_FAILED), std::string::npos);
  EXPECT_EQ(run.output.find(NVX_TEXT_REMOVED), std::string::npos);

  FakeOperations failing;
  failing.profiles = {"A"};
  failing.failing = {"A"};
  run = runDialog(failing, "1\n");
  EXPECT_NE(run.output.find(NVX_TEXT_ADD_FAILED), std::string::npos);
  EXPECT_EQ(run.output.find(NVX_TEXT_ADDED), std::string::npos);
}

TEST(ConsoleMainDialog, ARunningHostIsReportedAndNothingChanges) {
  FakeOperations operations;
  operations.profiles = {"A"};
  operations.hostRuns = {true, true};
  DialogRun run = runDialog(operations, "1\n2\n3\n");
  EXPECT_TRUE(operations.updates().empty());
  const std::string message = std::string("\n") + NVX_TEXT_MESSAGE_CAPTION +
                              "\nAutoCAD LT je spuštěn. Ukončete ho a zkuste to znovu.\n";
  EXPECT_EQ(count(run.output, message), 2u);
  EXPECT_EQ(count(run.output, kMainMenu), 3u);
}

TEST(ConsoleSelectionDialog, OffersTheProfilesNumberedAndTakesTheChosenOne) {
  FakeOperations operations;
  operations.profiles = {"První", "Druhý", "Třetí"};
  DialogRun run = runDialog(operations, "1\n4\n3\n3\n");
  EXPECT_EQ(operations.updates(), (Names{"add:Třetí"}));
  const std::string selection = std::string(NVX_TEXT_SELECT_CAPTION) + "\n" + NVX_TEXT_ADD_PROMPT +
                                "\n  1. První\n  2. Druhý\n  3. Třetí\n  0. " +
                                NVX_TEXT_CLOSE_BUTTON + "\n";
  EXPECT_EQ(count(run.output, selection), 1u);
  EXPECT_NE(run.output.find(NVX_TEXT_ADDED), std::string::npos);
}

TEST(ConsoleSelectionDialog, RemoveModeAsksWithTheRemovePrompt) {
  FakeOperations operations;
  operations.profiles = {"A", "B"};
  DialogRun run = runDialog(operations, "2\n2\n3\n");
  EXPECT_EQ(operations.updates(), (Names{"remove:B"}));
  EXPECT_NE(run.output.find(NVX_TEXT_REMOVE_PROMPT), std::string::npos);
  EXPECT_EQ(run.output.find(NVX_TEXT_ADD_PROMPT), std::string::npos);
}

TEST(ConsoleSelectionDialog, CloseOrEndOfInputChangesNothingAndShowsNothing) {
  for (const char* input : {"1\n0\n3\n", "2\n0\n", "1\n", "2\n5\n"}) {
    FakeOperations operations;
    operations.profiles = {"A", "B", "C"};
    DialogRun run = runDialog(operations, input);
    EXPECT_EQ(run.exitCode, 0) << input;
    EXPECT_TRUE(operations.updates().empty()) << input;
    EXPECT_EQ(count(run.output, NVX_TEXT_MESSAGE_CAPTION), 0u) << input;
  }
}

}  // namespace
