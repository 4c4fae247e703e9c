#include "app/norvex_express_app.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "app/console_output.h"
#include "app/czech_texts.h"
#include "app/main_dialog.h"
#include "platform/accounts.h"
#include "platform/identity.h"
#include "platform/processes.h"
#include "platform/program_path.h"
#include "platform/run_lock.h"
#include "platform/text_utf.h"
#include "platform/user_hive_view.h"
#include "profiles/logon_retry.h"
#include "profiles/machine_users.h"

#ifndef NVX_VERSION
#define NVX_VERSION "0"
#endif

namespace {

// The one place that asks whether the host runs.
bool hostProgramRunsFor(const std::string& sid) {
  return platform::isProcessRunningForUser(kHostExecutable, sid.c_str());
}

// How much a line matters, in the numbers of the CMTrace format.
constexpr int kInformation = 1;
constexpr int kWarning = 2;  // nothing failed, but something is left for later
constexpr int kFailure = 3;

// The moment of a line: local time, its offset from UTC in minutes and the milliseconds.
struct Moment {
  std::tm local{};
  int offsetMinutes = 0;
  int milliseconds = 0;
  bool known = false;
};

Moment now() {
  Moment moment;
  const auto clock = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(clock);
  moment.milliseconds = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count() %
      1000);
  // Both conversions return one shared buffer: each is copied before the next.
  const std::tm* local = std::localtime(&seconds);
  if (!local) return moment;
  moment.local = *local;
  const std::tm* utcTime = std::gmtime(&seconds);
  if (!utcTime) return moment;
  const std::tm utc = *utcTime;
  // Not strftime's %z, which some C libraries write as the zone's name.
  int days = moment.local.tm_yday - utc.tm_yday;
  if (moment.local.tm_year != utc.tm_year) days = moment.local.tm_year > utc.tm_year ? 1 : -1;
  moment.offsetMinutes = days * 24 * 60 + (moment.local.tm_hour - utc.tm_hour) * 60 +
                         (moment.local.tm_min - utc.tm_min);
  moment.known = true;
  return moment;
}

// "2026-12-08T21:10:00+01:00"
std::string isoTimeText(const Moment& moment) {
  char text[40];
  const int offset = moment.offsetMinutes < 0 ? -moment.offsetMinutes : moment.offsetMinutes;
  if (!moment.known ||
      std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                    moment.local.tm_year + 1900, moment.local.tm_mon + 1, moment.local.tm_mday,
                    moment.local.tm_hour, moment.local.tm_min, moment.local.tm_sec,
                    moment.offsetMinutes < 0 ? '-' : '+', offset / 60,
                    offset % 60) >= static_cast<int>(sizeof text))
    return "0000-00-00T00:00:00+00:00";  // no time to tell; the line keeps its shape
  return text;
}

// A line as Configuration Manager's log viewers read it. Text that would end the entry early
// is written with its last character escaped.
std::string cmtraceLine(const std::string& text, int severity) {
  std::string body = text;
  const std::string end = "]LOG]!>";
  for (size_t at = body.find(end); at != std::string::npos; at = body.find(end, at))
    body.replace(at + end.size() - 1, 1, "\\x3E");
  const Moment moment = now();
  const int offset = moment.offsetMinutes < 0 ? -moment.offsetMinutes : moment.offsetMinutes;
  char stamp[96];
  const int length = std::snprintf(
      stamp, sizeof stamp, "time=\"%02d:%02d:%02d.%03d%c%03d\" date=\"%02d-%02d-%04d\"",
      moment.local.tm_hour, moment.local.tm_min, moment.local.tm_sec, moment.milliseconds,
      moment.offsetMinutes < 0 ? '-' : '+', offset % 1000, moment.local.tm_mon + 1,
      moment.local.tm_mday, moment.local.tm_year + 1900);
  if (length < 0 || length >= static_cast<int>(sizeof stamp)) stamp[0] = '\0';
  return "<![LOG[" + body + "]LOG]!><" + stamp +
         " component=\"NorvexExpress\" context=\"\" type=\"" + std::to_string(severity) +
         "\" thread=\"" + std::to_string(platform::currentProcessId()) + "\" file=\"\">";
}

// What a dry run says of one profile's result.
const char* dryRunWord(ProfileResult result) {
  switch (result) {
    case ProfileResult::kAdded:
      return "would add";
    case ProfileResult::kRemoved:
      return "would remove";
    case ProfileResult::kAlreadyAsAsked:
      return "unchanged";
    default:
      return "error";
  }
}

// Text from the registry or a user's folder as one column: a tab or a line break in a profile
// name or a path can never forge a line or a column.
std::string shown(const std::string& text) {
  return platform::escapeControlCharacters(text);
}

// Whether this process runs as LocalSystem, whose own registry is nobody's.
bool runsAsLocalSystem() {
  std::string sid;
  return platform::currentUserSid(&sid) && sid == platform::kLocalSystemSid;
}

// How long a run that may write waits for another one to end. NORVEX_EXPRESS_LOCK_WAIT (in
// seconds) shortens it for the tests.
unsigned lockWaitSeconds() {
  const char* text = std::getenv("NORVEX_EXPRESS_LOCK_WAIT");
  if (!text || *text < '0' || *text > '9') return 60;
  return static_cast<unsigned>(std::strtoul(text, nullptr, 10) % 3600);
}

// The text of a line that went well: its note, as the note's token, a colon and its text; empty
// without one.
std::string noteText(ProfileResult note) {
  if (note == ProfileResult::kAlreadyAsAsked) return std::string();
  return std::string(profileResultName(note)) + ": " + profileResultText(note);
}

// The arguments as one line for the log: quoted where a blank, a tab or a quote would split
// them otherwise.
std::string argumentsText(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
      text += argument;
    else
      text += '"' + argument + '"';
  }
  return text;
}

}  // namespace

// One line of a run, on standard output and in the log alike: who, which profile, which file
// or key, what came of it and, unless it went well, why in Czech.
struct CNorvexExpressApp::Record {
  std::string user;           // the account, empty for this user's own run
  std::string profile = "-";  // "-" for a line about no profile
  std::string target = "-";   // the file or registry key, "-" when none was known
  std::string result;         // a state, a dry run's word, a result or a reason token
  std::string text;           // empty on success
  int severity = kInformation;

  Record() = default;
  Record(const std::string& who, const std::string& name, const std::string& where,
         ProfileResult reason, long error = platform::kErrorSuccess)
      : user(who),
        profile(name),
        target(where.empty() ? "-" : where),
        result(profileResultName(reason)),
        text(profileResultText(reason)),
        severity(reason == ProfileResult::kHostRunning || reason == ProfileResult::kAnotherRun
                     ? kWarning
                     : kFailure) {
    if (error != platform::kErrorSuccess) text += " (" + std::to_string(error) + ")";
  }
  // The five columns, each escaped: no text from a user's registry or folder can forge a
  // column or a line.
  std::string columns() const {
    return shown(user) + "\t" + shown(profile) + "\t" + shown(target) + "\t" + result + "\t" +
           shown(text);
  }
};

// Appends the run's lines to the log file, when one was asked for. A log that cannot be
// opened or written is left out with one line on standard error; the run goes on.
class CNorvexExpressApp::RunLog {
 public:
  RunLog(const CommandLineOptions& options, const std::string& commandLine)
      : path_(options.logPath), commandLine_(commandLine), cmtrace_(options.cmtrace) {
    if (!options.log) return;
    std::string reason;
    file_ = openFileForAppend(options.logPath, &reason);
    if (!file_) refused(reason);
  }
  ~RunLog() {
    if (file_) std::fclose(file_);
  }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Who ran what, where and when: a shared log's blocks can each be told apart.
  void header(const std::string& action, const std::string& productKey) {
    std::string computer, account;
    if (!platform::computerName(&computer)) computer = "-";
    if (!platform::currentAccountName(&account)) account = "-";
    line(isoTimeText(now()) + "\t" + shown(computer) + "\t" + shown(account) + "\t" +
             std::to_string(platform::currentProcessId()) + "\tNorvex Express " NVX_VERSION "\t" +
             action + "\t" + (productKey.empty() ? "-" : shown(productKey)) + "\t" +
             shown(commandLine_),
         kInformation);
  }
  void record(const Record& record) { line(record.columns(), record.severity); }
  int finish(int code) {
    line("exit " + std::to_string(code), code == kExitUpdated      ? kInformation
                                         : code == kExitSomeFailed ? kFailure
                                                                   : kWarning);
    return code;
  }

 private:
  void line(const std::string& text, int severity) {
    if (!file_) return;
    std::string whole = (cmtrace_ ? cmtraceLine(text, severity) : text) + "\n";
    if (std::fwrite(whole.data(), 1, whole.size(), file_) != whole.size() ||
        std::fflush(file_) != 0) {
      const std::string reason = lastWriteError();
      std::fclose(file_);
      file_ = nullptr;
      refused(reason);
    }
  }
  // One line that names the file and the reason; the run goes on, its exit code unchanged.
  void refused(const std::string& reason) {
    writeStandardError(NVX_TEXT_LOG_REFUSED + shown(path_) + NVX_TEXT_LOG_REFUSED_WHY +
                       shown(reason) + "\n");
  }
  std::string path_;
  std::string commandLine_;
  bool cmtrace_ = false;
  std::FILE* file_ = nullptr;
};

CNorvexExpressApp::CNorvexExpressApp(std::unique_ptr<platform::Registry> registry)
    : registry_(std::move(registry)),
      profiles_(*registry_, run_),
      output_(writeStandardOutput),
      userHostRunning_(hostProgramRunsFor) {}

int CNorvexExpressApp::InitInstance(const char* commandLine) {
  const std::string line = commandLine ? commandLine : "";
  if (commandLine_.empty()) commandLine_ = line;
  return InitInstance(splitCommandLine(line));
}

int CNorvexExpressApp::InitInstance(const std::vector<std::string>& arguments) {
  CommandLineOptions options = parseCommandLine(arguments);
  switch (options.action) {
    case CommandAction::kDialog:
      return runMainDialog(profiles_);
    case CommandAction::kHelp:
      Print(usageText());
      return kExitUpdated;
    case CommandAction::kVersion:
      Print("Norvex Express " NVX_VERSION "\n");
      return kExitUpdated;
    case CommandAction::kUsage: {
      // The mistake named first, then the usage; both on standard error, so that a pipe that
      // reads the results never takes them for a result.
      std::string problem = usageProblemText(options);
      problem.pop_back();
      writeStandardError("Norvex Express: " + shown(problem) + "\n" + usageText());
      return kExitUsage;
    }
    case CommandAction::kAdd:
    case CommandAction::kRemove:
    case CommandAction::kStatus:
      break;
  }
  if (commandLine_.empty()) commandLine_ = argumentsText(arguments);
  if (options.action == CommandAction::kAdd) return AddToAllProfiles(options);
  if (options.action == CommandAction::kRemove) return RemoveFromAllProfiles(options);
  return SilentRun(ProfileMode::kStatus, options);
}

int CNorvexExpressApp::AddToAllProfiles(const CommandLineOptions& options) {
  return SilentRun(ProfileMode::kAdd, options);
}

int CNorvexExpressApp::RemoveFromAllProfiles(const CommandLineOptions& options) {
  return SilentRun(ProfileMode::kRemove, options);
}

int CNorvexExpressApp::SilentRun(ProfileMode mode, const CommandLineOptions& options) {
  try {
    RunLog log(options, commandLine_);
    // One run that may write at a time on the machine; --status and --dry-run only read.
    platform::RunLock lock;
    if (mode != ProfileMode::kStatus && !options.dryRun && !lock.acquire(lockWaitSeconds()))
      return AnotherRun(mode, options, log);
    return options.allUsers ? RunForAllUsers(mode, options, log)
                            : RunForThisUser(mode, options, log);
  } catch (const std::bad_alloc&) {
    return kExitSomeFailed;  // in finding the profiles; each profile's own update catches it
  }
}

int CNorvexExpressApp::AnotherRun(ProfileMode mode, const CommandLineOptions& options,
                                  RunLog& log) {
  log.header(ActionText(mode, options), "");
  log.record(Record("", "-", "-", ProfileResult::kAnotherRun));
  return log.finish(kExitHostRunning);
}

void CNorvexExpressApp::Print(const std::string& text) {
  if (output_) output_(text);
}

void CNorvexExpressApp::Say(RunLog& log, const Record& record, bool print) {
  log.record(record);
  if (print) Print(record.columns() + "\n");
}

std::string CNorvexExpressApp::ActionText(ProfileMode mode, const CommandLineOptions& options) {
  std::string action = mode == ProfileMode::kAdd      ? "-i"
                       : mode == ProfileMode::kRemove ? "-r"
                                                      : "--status";
  if (options.allUsers) action += " --all-users";
  if (options.dryRun) action += " --dry-run";
  return action;
}

void CNorvexExpressApp::NothingFound(RunLog& log, ProfilesFound found,
                                     const std::string& productKey, bool ownRegistry) {
  ProfileResult reason = ProfileResult::kSettingsMissing;
  std::string target = "HKEY_LOCAL_MACHINE\\" + std::string(kOwnSettingsKey);
  if (found != ProfilesFound::kSettingsMissing) {
    reason = found == ProfilesFound::kHostMissing ? ProfileResult::kHostNotFound
                                                  : ProfileResult::kNoProfiles;
    target = "HKEY_CURRENT_USER\\" + productKey +
             (found == ProfilesFound::kNoProfiles ? "\\Profiles" : "");
    // SYSTEM's own registry is nobody's: what was meant is a run for every user.
    if (ownRegistry && runsAsLocalSystem()) reason = ProfileResult::kSystemAccount;
  }
  // The one answer of a run that found nothing, so it is printed in every mode.
  Say(log, Record("", "-", target, reason), true);
}

int CNorvexExpressApp::RunForThisUser(ProfileMode mode, const CommandLineOptions& options,
                                      RunLog& log) {
  std::string productKey;
  int platformFlag;
  profiles_.ReadInstallSettings(&productKey, &platformFlag);
  log.header(ActionText(mode, options), productKey);
  std::vector<std::string> names;
  int unreadable = 0;
  const ProfilesFound found = FindProfiles(profiles_, &names, &unreadable);
  int code = kExitNotFound;
  if (found == ProfilesFound::kFound) {
    const bool hostRunning = mode != ProfileMode::kStatus && profiles_.HostIsRunning();
    code = ProfilesOfOneUser(profiles_, names, unreadable, mode, options, log, "", hostRunning);
  } else {
    NothingFound(log, found, productKey, true);
  }
  return log.finish(RetryAtLogon(*registry_, mode, options, code, found, log, ""));
}

int CNorvexExpressApp::RetryAtLogon(platform::Registry& registry, ProfileMode mode,
                                    const CommandLineOptions& options, int code,
                                    ProfilesFound found, RunLog& log, const std::string& user) {
  if (!options.retryAtLogon || options.dryRun || mode == ProfileMode::kStatus) return code;
  // The host makes its key and profiles at its first start, and gives its files back when it
  // ends; missing settings of our own, or SYSTEM's registry, are no reason to wait.
  const bool later =
      (code == kExitNotFound && !(user.empty() && runsAsLocalSystem()) &&
       (found == ProfilesFound::kHostMissing || found == ProfilesFound::kNoProfiles)) ||
      code == kExitHostRunning;
  if (code != kExitUpdated && !later) return code;  // a fault, for the administrator
  const std::string target =
      "HKEY_CURRENT_USER\\" + std::string(kRunOnceKey) + "\\" + kRetryValueName;
  long result = platform::kErrorSuccess;
  if (later) {
    std::string program, logPath;
    if (!platform::programPath(&program) ||
        (options.log && !platform::absolutePath(options.logPath, &logPath)))
      result = platform::kErrorInvalidParameter;
    else
      result = scheduleRetryAtLogon(
          registry, retryCommandLine(program, mode == ProfileMode::kAdd ? "-i" : "-r", logPath));
  } else {
    result = cancelRetryAtLogon(registry);
  }
  if (result == platform::kErrorSuccess) {
    if (later) {
      Record retry(user, "-", target, ProfileResult::kRetryAtLogon);
      retry.severity = kWarning;
      log.record(retry);
    }
    return code;
  }
  // Without the value nobody finishes the work: that is a failure.
  log.record(Record(user, "-", target, ProfileResult::kRegistryFailed, result));
  return kExitSomeFailed;
}

int CNorvexExpressApp::RunForAllUsers(ProfileMode mode, const CommandLineOptions& options,
                                      RunLog& log) {
  std::string productKey;
  int platformFlag;
  bool installed = profiles_.ReadInstallSettings(&productKey, &platformFlag);
  log.header(ActionText(mode, options), productKey);
  std::vector<MachineUser> users;
  long listed = installed ? listMachineUsers(*registry_, &users) : platform::kErrorSuccess;
  if (!installed) {
    NothingFound(log, ProfilesFound::kSettingsMissing, productKey, false);
    return log.finish(kExitNotFound);
  }
  if (listed != platform::kErrorSuccess) {
    Say(log,
        Record("", "-", "HKEY_LOCAL_MACHINE\\" + std::string(kProfileListKey),
               ProfileResult::kUserUnreachable, listed),
        true);
    return log.finish(kExitNotFound);
  }
  const bool printed = options.dryRun || mode == ProfileMode::kStatus;
  // Once for the whole run, before the first hive or backup needs them.
  platform::enableAllUsersPrivileges();
  bool failed = false;
  int usersWithHost = 0, usersRunningHost = 0;
  for (const MachineUser& user : users) {
    AttachedHive hive(*registry_, user);
    if (hive.error() != platform::kErrorSuccess) {
      failed = true;
      Say(log,
          Record(user.name, "-", user.profileFolder.empty() ? user.sid : user.profileFolder,
                 ProfileResult::kUserUnreachable, hive.error()),
          printed);
      continue;
    }
    int code = kExitNotFound;
    {
      // Every key into the hive is closed at the end of this block, before the unload.
      platform::UserHiveView view(*registry_, hive.keyName());
      HostProfiles profiles(view, run_);
      platform::UserEnvironment environment = userEnvironment(view, user);
      profiles.SetEnvironment(&environment);
      std::vector<std::string> names;
      int unreadable = 0;
      const ProfilesFound found = FindProfiles(profiles, &names, &unreadable);
      if (found != ProfilesFound::kFound) {
        // No host installation of this user's yet: nothing to do there now.
        Record skipped(user.name, "-", "HKEY_USERS\\" + user.sid,
                       found == ProfilesFound::kNoProfiles ? ProfileResult::kNoProfiles
                                                           : ProfileResult::kHostNotFound);
        skipped.result = "skipped";
        skipped.severity = kInformation;
        Say(log, skipped, printed);
      } else {
        ++usersWithHost;
        const bool hostRunning =
            mode != ProfileMode::kStatus && userHostRunning_ && userHostRunning_(user.sid);
        code = ProfilesOfOneUser(profiles, names, unreadable, mode, options, log, user.name,
                                 hostRunning);
      }
      // The retry runs as the user, in the user's own registry.
      code = RetryAtLogon(view, mode, options, code, found, log, user.name);
    }
    // A hive left loaded gives the user a temporary profile at the next sign-in.
    const long unloaded = hive.unload();
    if (unloaded != platform::kErrorSuccess) {
      Say(log,
          Record(user.name, "-", "HKEY_USERS\\" + hive.keyName(), ProfileResult::kHiveNotUnloaded,
                 unloaded),
          printed);
      code = kExitSomeFailed;
    }
    if (code == kExitHostRunning) ++usersRunningHost;
    failed = failed || code == kExitSomeFailed;
  }
  // Only users whose host runs are left: they are for later, not for the administrator.
  if (failed) return log.finish(kExitSomeFailed);
  if (usersRunningHost > 0) return log.finish(kExitHostRunning);
  if (usersWithHost > 0) return log.finish(kExitUpdated);
  Say(log, Record("", "-", "HKEY_USERS", ProfileResult::kHostNotFound), true);
  return log.finish(kExitNotFound);
}

int CNorvexExpressApp::ProfilesOfOneUser(HostProfiles& profiles,
                                         const std::vector<std::string>& names, int unreadable,
                                         ProfileMode mode, const CommandLineOptions& options,
                                         RunLog& log, const std::string& user, bool hostRunning) {
  const bool printed = options.dryRun || mode == ProfileMode::kStatus;
  // Nothing is changed while the host runs: it would write its own copy over ours.
  if (hostRunning) {
    for (const std::string& name : names)
      Say(log, Record(user, name, "-", ProfileResult::kHostRunning), printed);
    return kExitHostRunning;
  }
  bool allDone = unreadable == 0;
  for (int i = 0; i < unreadable; ++i)
    Say(log, Record(user, "?", "-", ProfileResult::kProfileNameTooLong), printed);
  for (const std::string& name : names) {
    ProfileReport report;
    bool failed;
    Record record;
    if (mode == ProfileMode::kStatus) {
      profiles.Status(name.c_str(), &report);
      failed = report.state == ProfileState::kError;
      allDone = allDone && report.state == ProfileState::kPresent;
      record = Record(user, name, report.target, failed ? report.result : report.reason);
      if (!failed) record.result = profileStateName(report.state);
      // A state says why it is partial, where it can tell.
      if (!failed) record.text = noteText(report.reason);
    } else {
      profiles.Update(name.c_str(), mode, options.dryRun, &report);
      failed = !profileResultDone(report.result);
      allDone = allDone && !failed;
      record = Record(user, name, report.target, report.result);
      if (!failed) {
        // Done, with a note where there is one (a backup that could not take the owner).
        record.text = noteText(report.reason);
        if (options.dryRun) record.result = dryRunWord(report.result);
      } else if (!report.leftFile.empty()) {
        // A save that lost the file's name says where the content is.
        record.text += "; nový obsah zůstal v souboru " + report.leftFile +
                       ", přejmenujte ho zpět (původní je v záloze)";
      }
    }
    if (!failed) record.severity = kInformation;
    Say(log, record, printed);
  }
  return allDone ? kExitUpdated : kExitSomeFailed;
}

CNorvexExpressApp::ProfilesFound CNorvexExpressApp::FindProfiles(HostProfiles& profiles,
                                                                 std::vector<std::string>* names,
                                                                 int* unreadable) {
  std::string productKey, supportBasePath;
  int platformFlag;
  if (!profiles.ReadInstallSettings(&productKey, &platformFlag))
    return ProfilesFound::kSettingsMissing;
  if (!profiles.ReadSupportBasePath(productKey, platformFlag, &supportBasePath))
    return ProfilesFound::kHostMissing;
  return profiles.ListProfiles(names, unreadable) && (!names->empty() || *unreadable != 0)
             ? ProfilesFound::kFound
             : ProfilesFound::kNoProfiles;
}
