#include "app/command_line.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, WindowsQuotingRules) {
  struct Case {
    const char* line;
    Args arguments;
  } cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"-i", {"-i"}},
      {"  -r   --log  x.log ", {"-r", "--log", "x.log"}},
      {"\"C:\\Program Files\\x-install\\run-r.log\"", {"C:\\Program Files\\x-install\\run-r.log"}},
      {"--log C:\\x-install\\run-r.log -i", {"--log", "C:\\x-install\\run-r.log", "-i"}},
      {"a\\\\b c\\d", {"a\\\\b", "c\\d"}},  // backslashes without a quote stay
      {"\"a\\\\\" b", {"a\\", "b"}},        // 2n backslashes and a quote: n, quote closes
      {"a\\\"b", {"a\"b"}},                 // 2n+1: n and a literal quote
      {"a\\\\\\\"b", {"a\\\"b"}},           // three backslashes before a quote
      {"\"\"", {""}},                       // an empty argument
      {"\"a b\"c d", {"a bc", "d"}},        // quoting within an argument
      {"\"a\"\"b\" c", {"a\"b c"}},         // the third quote in a row is literal
      {"a\"\"\"b\" c", {"a\"b c"}},
      {"\"unterminated -i", {"unterminated -i"}},
      {"\"C:\\folder\\\\\" -i", {"C:\\folder\\", "-i"}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.arguments) << c.line;
}

// The quoting that programs use to pass arguments; splitting must give them back.
std::string quote(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  return out + "\"";
}

TEST(SplitCommandLine, RandomArgumentsComeBackWhole) {
  std::mt19937 random(20261208);
  const char alphabet[] = {'a', '-', 'i', 'r', '/', '\\', '"', ' ', '\t', ':', '.', 'R'};
  for (int round = 0; round < 3000; ++round) {
    Args arguments(random() % 5);
    for (std::string& argument : arguments) {
      argument.resize(random() % 8);
      for (char& c : argument) c = alphabet[random() % sizeof alphabet];
    }
    std::string line;
    for (const std::string& argument : arguments)
      line += (line.empty() ? "" : " ") + quote(argument);
    EXPECT_EQ(splitCommandLine(line), arguments) << line;
  }
}

TEST(ParseCommandLine, ActionsOptionsAndMistakes) {
  const auto dialog = CommandAction::kDialog, add = CommandAction::kAdd,
             remove = CommandAction::kRemove, status = CommandAction::kStatus,
             help = CommandAction::kHelp, usage = CommandAction::kUsage;
  struct Case {
    Args arguments;
    CommandAction action;
    bool dryRun;
    const char* log;
  } cases[] = {
      {{}, dialog, false, nullptr},
      {{"výkres.dwg"}, dialog, false, nullptr},
      {{"-i"}, add, false, nullptr},
      {{"-I"}, add, false, nullptr},
      {{"/i"}, add, false, nullptr},
      {{"-R"}, remove, false, nullptr},
      {{"/r"}, remove, false, nullptr},
      {{"-i", "-i"}, add, false, nullptr},
      {{"--status"}, status, false, nullptr},
      {{"--dry-run", "-r"}, remove, true, nullptr},
      {{"-i", "--log", "C:\\x-install\\run-r.log"}, add, false, "C:\\x-install\\run-r.log"},
      {{"--log", "/tmp/-r.log", "--status"}, status, false, "/tmp/-r.log"},
      {{"-r", "--dry-run", "--log", "x-i.log"}, remove, true, "x-i.log"},
      {{"-h"}, help, false, nullptr},
      {{"--help", "-i"}, help, false, nullptr},
      {{"/?"}, help, false, nullptr},
      {{"--dry-run"}, usage, false, nullptr},  // no action to try
      {{"--status", "--dry-run"}, usage, false, nullptr},
      {{"--log", "x.log"}, usage, false, nullptr},
      {{"-i", "--log"}, usage, false, nullptr},  // no value
      {{"--log", "-i"}, usage, false, nullptr},  // the value would swallow the action
      {{"-i", "--log", "a", "--log", "b"}, usage, false, nullptr},
      {{"-i", "-r"}, usage, false, nullptr},
      {{"--status", "-i"}, usage, false, nullptr},
      {{"-install"}, usage, false, nullptr},
      {{"--dry-runs", "-i"}, usage, false, nullptr},
      {{"-i", "/x"}, usage, false, nullptr},
      {{"--help", "--bogus"}, usage, false, nullptr},
      {{"-"}, usage, false, nullptr},
      {{"--all-users"}, usage, false, nullptr},
      {{"--all-users", "-i", "--dry-run"}, add, true, nullptr},
      {{"--status", "--all-users"}, status, false, nullptr},
      {{"-r", "--all-user"}, usage, false, nullptr},
      {{"-i", "--retry-at-logon", "--all-users"}, add, false, nullptr},
      {{"--retry-at-logon", "-r", "--dry-run"}, remove, true, nullptr},
      {{"--retry-at-logon"}, usage, false, nullptr},
      {{"--status", "--retry-at-logon"}, usage, false, nullptr},
      // Text beside an action: an unquoted path cut at its blank, or a stray word.
      {{"-i", "--all-users", "--log", "C:\\my", "logs.log"}, usage, false, nullptr},
      {{"výkres.dwg", "--status"}, usage, false, nullptr},
      {{"-r", ""}, usage, false, nullptr},
      {{"--help", "výkres.dwg"}, help, false, nullptr},
      // Dash-like characters are no "-" (en dash, em dash, minus sign, hyphen).
      {{"-i", "\u2013r"}, usage, false, nullptr},
      {{"\u2014status"}, usage, false, nullptr},
      {{"\u2212i"}, usage, false, nullptr},
      {{"--log", "\u2010x.log", "-i"}, add, false, "\u2010x.log"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += argument + " ";
    CommandLineOptions options = parseCommandLine(c.arguments);
    EXPECT_EQ(options.action, c.action) << shown;
    if (c.action == usage) {
      EXPECT_FALSE(options.problem.empty()) << shown;
      continue;
    }
    EXPECT_EQ(options.dryRun, c.dryRun) << shown;
    EXPECT_EQ(options.allUsers, shown.find("--all-users") != std::string::npos) << shown;
    EXPECT_EQ(options.retryAtLogon, shown.find("--retry-at-logon") != std::string::npos) << shown;
    EXPECT_EQ(options.log, c.log != nullptr) << shown;
    if (c.log) {
      EXPECT_EQ(options.logPath, c.log) << shown;
    }
  }
}

TEST(ParseCommandLine, EachMistakeIsNamed) {
  struct Case {
    Args arguments;
    UsageProblem problem;
    const char* text;  // a part of the sentence that names the mistake
  } cases[] = {
      {{"-i", "--log"}, UsageProblem::kMissingValue, "Za parametrem --log chybí název souboru."},
      {{"--log", "-r", "-i"}, UsageProblem::kMissingValue, "--log"},
      {{"-i", "--log", "a", "--log", "b"}, UsageProblem::kRepeatedOption, "dvakrát"},
      {{"/i", "--dry-run", "-R"}, UsageProblem::kTwoActions, "Dvě akce najednou: /i a -R;"},
      {{"-install"}, UsageProblem::kUnknownOption, "Neznámý parametr: -install"},
      {{"--version", "--bogus"}, UsageProblem::kUnknownOption, "--bogus"},
      {{"--dry-run"}, UsageProblem::kNeedsAction, "--dry-run patří k akci -i nebo -r."},
      {{"--log", "x.log"}, UsageProblem::kNeedsAction, "--log patří k akci -i, -r nebo --status"},
      {{"-r", "C:\\my", "logs.log"}, UsageProblem::kTextBesideAction, "C:\\my"},
      {{"\u2013i"}, UsageProblem::kDashLike, "\u2013i"},
      {{"-i", "--log", "x", "--log-format"}, UsageProblem::kMissingValue, "chybí formát"},
      {{"-i", "--log", "x", "--log-format", "xml"}, UsageProblem::kUnknownValue, "xml"},
      {{"-i", "--log-format", "cmtrace"}, UsageProblem::kNeedsAction, "patří k --log"},
  };
  for (const Case& c : cases) {
    CommandLineOptions options = parseCommandLine(c.arguments);
    EXPECT_EQ(options.usageProblem, c.problem) << c.text;
    const std::string text = usageProblemText(options);
    EXPECT_NE(text.find(c.text), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
  }
  EXPECT_TRUE(parseCommandLine({"-i", "--log-format", "cmtrace", "--log", "x"}).cmtrace);
  EXPECT_FALSE(parseCommandLine({"--status", "--log", "x", "--log-format", "text"}).cmtrace);
  EXPECT_EQ(parseCommandLine({"--version"}).action, CommandAction::kVersion);
  EXPECT_EQ(parseCommandLine({"-i", "--version"}).action, CommandAction::kVersion);
  EXPECT_EQ(parseCommandLine({"--help", "--version"}).action, CommandAction::kHelp);
}

}  // namespace
