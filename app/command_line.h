// The command line: split into arguments by Windows' rules and parsed into the options of one
// run, before any window or profile is touched. Plain values; nothing to free.
#pragma once

#include <string>
#include <vector>

enum class CommandAction { kDialog, kAdd, kRemove, kStatus, kHelp, kUsage, kVersion };

// What is wrong with a command line that was not understood.
enum class UsageProblem {
  kNone,
  kUnknownOption,
  kDashLike,        // an option written with a dash-like character that is not "-"
  kMissingValue,    // --log without its file name
  kRepeatedOption,  // --log twice
  kTwoActions,
  kNeedsAction,       // --dry-run, --log, --all-users or --retry-at-logon without its action
  kTextBesideAction,  // text that is no option beside an action, such as a path cut at a blank
  kUnknownValue,      // a --log-format that is neither text nor cmtrace
};

struct CommandLineOptions {
  CommandAction action = CommandAction::kDialog;
  bool dryRun = false;
  bool allUsers = false;  // every user profile of the machine, not only this user's
  bool log = false;
  bool retryAtLogon = false;  // a run left to do is done again at the user's next logon
  std::string logPath;        // UTF-8
  bool cmtrace = false;       // the log in the format of Configuration Manager's log viewers
  UsageProblem usageProblem = UsageProblem::kNone;  // for kUsage
  std::string problem;      // for kUsage: the argument that was not understood
  std::string firstAction;  // for kTwoActions: the action written first
};

// The arguments of a command line without the program's name, as CommandLineToArgvW splits
// them: blanks separate arguments outside quotes, 2n backslashes before a quote give n and
// the quote opens or closes quoting, 2n+1 give n and a literal quote, and the third of three
// quotes in a row is a literal one.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// kUsage for an unknown option (an argument that begins with "-" or "/", or with a dash-like
// character that is not "-"), an option without its value, two actions, --dry-run, --log or
// --all-users without an action they belong to, or text that is no option beside an action.
// Without an action, such text is left alone (the dialog runs).
CommandLineOptions parseCommandLine(const std::vector<std::string>& arguments);

// For kUsage: one Czech sentence (UTF-8) that names the mistake, ending with a line break.
std::string usageProblemText(const CommandLineOptions& options);

// The usage text, in Czech (UTF-8), ending with a line break.
const char* usageText();
