#include "app/command_line.h"

#include "app/czech_texts.h"

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  int quotes = 0;  // odd while quoting
  size_t backslashes = 0;
  for (size_t i = 0; i < commandLine.size();) {
    char c = commandLine[i];
    if ((c == ' ' || c == '\t') && quotes == 0) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
      backslashes = 0;
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      current += c;
      ++backslashes;
      ++i;
      continue;
    }
    if (c != '"') {
      current += c;
      backslashes = 0;
      ++i;
      continue;
    }
    // A quote: the backslashes before it are halved.
    current.resize(current.size() - backslashes / 2);
    if (backslashes % 2 == 1) {
      current.back() = '"';
    } else {
      ++quotes;
    }
    backslashes = 0;
    ++i;
    for (; i < commandLine.size() && commandLine[i] == '"'; ++i) {
      if (++quotes == 3) {
        current += '"';
        quotes = 0;
      }
    }
    if (quotes == 2) quotes = 0;
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

namespace {

CommandAction actionOf(const std::string& argument) {
  if (argument == "-i" || argument == "-I" || argument == "/i" || argument == "/I")
    return CommandAction::kAdd;
  if (argument == "-r" || argument == "-R" || argument == "/r" || argument == "/R")
    return CommandAction::kRemove;
  if (argument == "--status") return CommandAction::kStatus;
  if (argument == "-h" || argument == "--help" || argument == "/?") return CommandAction::kHelp;
  return CommandAction::kDialog;
}

CommandLineOptions usage(const std::string& problem) {
  CommandLineOptions options;
  options.action = CommandAction::kUsage;
  options.problem = problem;
  return options;
}

}  // namespace

CommandLineOptions parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLineOptions options;
  bool help = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) continue;
    CommandAction action = actionOf(argument);
    if (action == CommandAction::kHelp) {
      help = true;
    } else if (action != CommandAction::kDialog) {
      if (options.action != CommandAction::kDialog && options.action != action)
        return usage(argument);
      options.action = action;
    } else if (argument == "--dry-run") {
      options.dryRun = true;
    } else if (argument == "--all-users") {
      options.allUsers = true;
    } else if (argument == "--retry-at-logon") {
      options.retryAtLogon = true;
    } else if (argument == "--log") {
      // The value is the next argument whole; one that looks like an option is refused, so
      // that a forgotten value never swallows the action.
      if (i + 1 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 1][0] == '-' ||
          options.log)
        return usage(argument);
      options.log = true;
      options.logPath = arguments[++i];
    } else {
      return usage(argument);
    }
  }
  if (help) {
    CommandLineOptions shown;
    shown.action = CommandAction::kHelp;
    return shown;
  }
  const bool silent =
      options.action == CommandAction::kAdd || options.action == CommandAction::kRemove;
  if (options.dryRun && !silent) return usage("--dry-run");
  if (options.retryAtLogon && !silent) return usage("--retry-at-logon");
  if (options.log && !silent && options.action != CommandAction::kStatus) return usage("--log");
  if (options.allUsers && !silent && options.action != CommandAction::kStatus)
    return usage("--all-users");
  return options;
}

const char* usageText() {
  return NVX_TEXT_USAGE;
}
