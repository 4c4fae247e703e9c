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

// Whether the argument begins with a character that looks like a dash but is not "-": a
// hyphen, figure dash, en or em dash, horizontal bar or minus sign (U+2010 to U+2015, U+2212)
// as a word processor or a web page writes them.
bool beginsWithDashLike(const std::string& argument) {
  if (argument.size() < 3) return false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(argument[i]); };
  return (byte(0) == 0xE2 && byte(1) == 0x80 && byte(2) >= 0x90 && byte(2) <= 0x95) ||
         (byte(0) == 0xE2 && byte(1) == 0x88 && byte(2) == 0x92);
}

CommandLineOptions usage(UsageProblem kind, const std::string& problem,
                         const std::string& firstAction = std::string()) {
  CommandLineOptions options;
  options.action = CommandAction::kUsage;
  options.usageProblem = kind;
  options.problem = problem;
  options.firstAction = firstAction;
  return options;
}

}  // namespace

CommandLineOptions parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLineOptions options;
  bool help = false, version = false;
  const std::string* text = nullptr;    // the first argument that is no option
  const std::string* first = nullptr;   // the first action
  const std::string* format = nullptr;  // the value of --log-format
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (beginsWithDashLike(argument)) return usage(UsageProblem::kDashLike, argument);
    if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) {
      if (!text) text = &argument;
      continue;
    }
    CommandAction action = actionOf(argument);
    if (action == CommandAction::kHelp) {
      help = true;
    } else if (action != CommandAction::kDialog) {
      if (options.action != CommandAction::kDialog && options.action != action)
        return usage(UsageProblem::kTwoActions, argument, *first);
      options.action = action;
      first = &argument;
    } else if (argument == "--version") {
      version = true;
    } else if (argument == "--dry-run") {
      options.dryRun = true;
    } else if (argument == "--all-users") {
      options.allUsers = true;
    } else if (argument == "--retry-at-logon") {
      options.retryAtLogon = true;
    } else if (argument == "--log") {
      // The value is the next argument whole; one that looks like an option is refused, so
      // that a forgotten value never swallows the action.
      if (options.log) return usage(UsageProblem::kRepeatedOption, argument);
      if (i + 1 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 1][0] == '-')
        return usage(UsageProblem::kMissingValue, argument);
      options.log = true;
      options.logPath = arguments[++i];
    } else if (argument == "--log-format") {
      if (format) return usage(UsageProblem::kRepeatedOption, argument);
      if (i + 1 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 1][0] == '-')
        return usage(UsageProblem::kMissingValue, argument);
      format = &arguments[++i];
      if (*format != "text" && *format != "cmtrace")
        return usage(UsageProblem::kUnknownValue, *format);
      options.cmtrace = *format == "cmtrace";
    } else {
      return usage(UsageProblem::kUnknownOption, argument);
    }
  }
  if (help || version) {
    CommandLineOptions shown;
    shown.action = help ? CommandAction::kHelp : CommandAction::kVersion;
    return shown;
  }
  const bool silent =
      options.action == CommandAction::kAdd || options.action == CommandAction::kRemove;
  // Text beside an action is a mistake, such as an unquoted path cut at its blank.
  if (text && (silent || options.action == CommandAction::kStatus))
    return usage(UsageProblem::kTextBesideAction, text->empty() ? "\"\"" : *text);
  const UsageProblem alone = UsageProblem::kNeedsAction;
  if (options.dryRun && !silent) return usage(alone, "--dry-run");
  if (options.retryAtLogon && !silent) return usage(alone, "--retry-at-logon");
  if (options.log && !silent && options.action != CommandAction::kStatus)
    return usage(alone, "--log");
  if (options.allUsers && !silent && options.action != CommandAction::kStatus)
    return usage(alone, "--all-users");
  if (format && !options.log) return usage(alone, "--log-format");
  return options;
}

std::string usageProblemText(const CommandLineOptions& options) {
  const std::string& argument = options.problem;
  switch (options.usageProblem) {
    case UsageProblem::kNone:
      break;
    case UsageProblem::kUnknownOption:
      return "Neznámý parametr: " + argument + "\n";
    case UsageProblem::kDashLike:
      return "Parametr " + argument + " nezačíná obyčejnou pomlčkou (-).\n";
    case UsageProblem::kMissingValue:
      return "Za parametrem " + argument +
             (argument == "--log" ? " chybí název souboru.\n" : " chybí formát (text, cmtrace).\n");
    case UsageProblem::kRepeatedOption:
      return "Parametr " + argument + " je uveden dvakrát.\n";
    case UsageProblem::kTwoActions:
      return "Dvě akce najednou: " + options.firstAction + " a " + argument +
             "; zadejte jen jednu.\n";
    case UsageProblem::kUnknownValue:
      return "Neznámý formát protokolu: " + argument + " (zadejte text nebo cmtrace).\n";
    case UsageProblem::kNeedsAction:
      if (argument == "--log-format") return "Parametr --log-format patří k --log.\n";
      return "Parametr " + argument +
             (argument == "--dry-run" || argument == "--retry-at-logon"
                  ? " patří k akci -i nebo -r.\n"
                  : " patří k akci -i, -r nebo --status.\n");
    case UsageProblem::kTextBesideAction:
      return "Text navíc vedle akce: " + argument + " (cestu s mezerou dejte do uvozovek).\n";
  }
  return "Nesrozumitelný parametr: " + argument + "\n";
}

const char* usageText() {
  return NVX_TEXT_USAGE;
}
