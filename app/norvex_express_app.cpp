#include "app/norvex_express_app.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "app/console_output.h"
#include "app/czech_texts.h"
#include "app/main_dialog.h"
#include "platform/accounts.h"
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

std::string localTimeText() {
  std::time_t now = std::time(nullptr);
  const std::tm* local = now == static_cast<std::time_t>(-1) ? nullptr : std::localtime(&now);
  if (!local) return "(unknown time)";
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) return "(unknown time)";
  return text;
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

// How long a run that may write waits for another one to end. NORVEX_EXPRESS_LOCK_WAIT (in
// seconds) shortens it for the tests.
unsigned lockWaitSeconds() {
  const char* text = std::getenv("NORVEX_EXPRESS_LOCK_WAIT");
  if (!text || *text < '0' || *text > '9') return 60;
  return static_cast<unsigned>(std::strtoul(text, nullptr, 10) % 3600);
}

std::string reasonColumns(ProfileResult result) {
  return std::string(profileResultName(result)) + "\t" + profileResultText(result);
}

}  // namespace

// Appends the run's lines to the log file, when one was asked for. A log that cannot be
// opened or written is left out with one line on standard error; the run goes on.
class CNorvexExpressApp::RunLog {
 public:
  explicit RunLog(const CommandLineOptions& options) : path_(options.logPath) {
    if (!options.log) return;
    file_ = openFileForAppend(options.logPath);
    if (!file_) refused();
  }
  ~RunLog() {
    if (file_) std::fclose(file_);
  }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  void header(const std::string& action, const std::string& productKey) {
    line(localTimeText() + "\tNorvex Express " NVX_VERSION "\t" + action + "\t" +
         (productKey.empty() ? "-" : shown(productKey)));
  }
  // The profile, its file or key, the outcome (a result, a dry run's word or a state) and,
  // for a failure, the reason.
  void profile(const std::string& name, const ProfileReport& report, const char* outcome) {
    std::string text =
        name + "\t" + (report.target.empty() ? "-" : shown(report.target)) + "\t" + outcome;
    if (!profileResultDone(report.result)) {
      text += std::string("\t") + profileResultText(report.result);
      // A save that lost the file's name says where the content is.
      if (!report.leftFile.empty())
        text += "; nový obsah zůstal v souboru " + shown(report.leftFile) +
                ", přejmenujte ho zpět (původní je v záloze)";
    } else if (report.reason != ProfileResult::kAlreadyAsAsked)
      text += "\t" + reasonColumns(report.reason);
    line(text);
  }
  int finish(int code) {
    line("exit " + std::to_string(code));
    return code;
  }
  void line(const std::string& text) {
    if (!file_) return;
    std::string whole = text + "\n";
    if (std::fwrite(whole.data(), 1, whole.size(), file_) != whole.size() ||
        std::fflush(file_) != 0) {
      std::fclose(file_);
      file_ = nullptr;
      refused();
    }
  }
  void refused() { writeStandardError(NVX_TEXT_LOG_REFUSED + shown(path_) + "\n"); }
  std::string path_;
  std::FILE* file_ = nullptr;
};

CNorvexExpressApp::CNorvexExpressApp(std::unique_ptr<platform::Registry> registry)
    : registry_(std::move(registry)),
      profiles_(*registry_, run_),
      output_(writeStandardOutput),
      userHostRunning_(hostProgramRunsFor) {}

int CNorvexExpressApp::InitInstance(const char* commandLine) {
  return Run(splitCommandLine(commandLine ? commandLine : ""));
}

int CNorvexExpressApp::Run(const std::vector<std::string>& arguments) {
  CommandLineOptions options = parseCommandLine(arguments);
  switch (options.action) {
    case CommandAction::kDialog:
      return runMainDialog(profiles_);
    case CommandAction::kHelp:
      Print(usageText());
      return kExitUpdated;
    case CommandAction::kUsage:
      Print(std::string(NVX_TEXT_USAGE_PROBLEM) + options.problem + "\n" + usageText());
      return kExitUsage;
    case CommandAction::kAdd:
    case CommandAction::kRemove:
    case CommandAction::kStatus:
      break;
  }
  const int mode = options.action == CommandAction::kAdd      ? kModeAdd
                   : options.action == CommandAction::kRemove ? kModeRemove
                                                              : kModeStatus;
  try {
    RunLog log(options);
    // One run that may write at a time on the machine; --status and --dry-run only read.
    platform::RunLock lock;
    if (mode != kModeStatus && !options.dryRun && !lock.acquire(lockWaitSeconds()))
      return AnotherRun(mode, options, log);
    return options.allUsers ? RunForAllUsers(mode, options, log)
                            : RunForThisUser(mode, options, log);
  } catch (const std::bad_alloc&) {
    return kExitSomeFailed;  // in finding the profiles; each profile's own update catches it
  }
}

int CNorvexExpressApp::AnotherRun(int mode, const CommandLineOptions& options, RunLog& log) {
  log.header(ActionText(mode, options), "");
  log.line("-\t-\t" + reasonColumns(ProfileResult::kAnotherRun));
  return log.finish(kExitHostRunning);
}

void CNorvexExpressApp::Print(const std::string& text) {
  if (output_) output_(text);
}

int CNorvexExpressApp::UpdateAllProfiles(int mode, const CommandLineOptions& options) {
  try {
    RunLog log(options);
    return RunForThisUser(mode, options, log);
  } catch (const std::bad_alloc&) {
    return kExitSomeFailed;
  }
}

std::string CNorvexExpressApp::ActionText(int mode, const CommandLineOptions& options) {
  std::string action = mode == kModeAdd ? "-i" : mode == kModeRemove ? "-r" : "--status";
  if (options.allUsers) action += " --all-users";
  if (options.dryRun) action += " --dry-run";
  return action;
}

int CNorvexExpressApp::RunForThisUser(int mode, const CommandLineOptions& options, RunLog& log) {
  std::string productKey;
  int platformFlag;
  profiles_.ReadInstallSettings(&productKey, &platformFlag);
  log.header(ActionText(mode, options), productKey);
  std::vector<std::string> names;
  int unreadable = 0;
  const ProfilesFound found = FindProfiles(profiles_, &names, &unreadable);
  int code = kExitNotFound;
  if (found == ProfilesFound::kFound) {
    const bool hostRunning = mode != kModeStatus && profiles_.HostIsRunning();
    code = ProfilesOfOneUser(profiles_, names, unreadable, mode, options, log, "", hostRunning);
  }
  return log.finish(RetryAtLogon(*registry_, mode, options, code, found, log, ""));
}

int CNorvexExpressApp::RetryAtLogon(platform::Registry& registry, int mode,
                                    const CommandLineOptions& options, int code,
                                    ProfilesFound found, RunLog& log, const std::string& user) {
  if (!options.retryAtLogon || options.dryRun || mode == kModeStatus) return code;
  // The host makes its key and profiles at its first start, and gives its files back when it
  // ends; missing settings of our own are no reason to wait.
  const bool later =
      (code == kExitNotFound && found == ProfilesFound::kHostMissing) || code == kExitHostRunning;
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
          registry, retryCommandLine(program, mode == kModeAdd ? "-i" : "-r", logPath));
  } else {
    result = cancelRetryAtLogon(registry);
  }
  const std::string prefix = user.empty() ? std::string() : shown(user) + "\t";
  if (result == platform::kErrorSuccess) {
    if (later) log.line(prefix + "-\t" + target + "\tretry-at-logon");
    return code;
  }
  // Without the value nobody finishes the work: that is a failure.
  log.line(prefix + "-\t" + target + "\t" + profileResultName(ProfileResult::kRegistryFailed) +
           "\t" + profileResultText(ProfileResult::kRegistryFailed) + " (" +
           std::to_string(result) + ")");
  return kExitSomeFailed;
}

int CNorvexExpressApp::RunForAllUsers(int mode, const CommandLineOptions& options, RunLog& log) {
  std::string productKey;
  int platformFlag;
  bool installed = profiles_.ReadInstallSettings(&productKey, &platformFlag);
  log.header(ActionText(mode, options), productKey);
  std::vector<MachineUser> users;
  long listed = installed ? listMachineUsers(*registry_, &users) : platform::kErrorSuccess;
  if (!installed || listed != platform::kErrorSuccess) {
    if (listed != platform::kErrorSuccess)
      UserLine(options, log, "-", "HKEY_LOCAL_MACHINE\\" + std::string(kProfileListKey),
               ProfileResult::kUserUnreachable, listed);
    return log.finish(kExitNotFound);
  }
  // Once for the whole run, before the first hive or backup needs them.
  platform::enableAllUsersPrivileges();
  bool failed = false;
  int usersWithHost = 0, usersRunningHost = 0;
  for (const MachineUser& user : users) {
    AttachedHive hive(*registry_, user);
    if (hive.error() != platform::kErrorSuccess) {
      failed = true;
      UserLine(options, log, user.name, user.profileFolder.empty() ? user.sid : user.profileFolder,
               ProfileResult::kUserUnreachable, hive.error());
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
        UserLine(options, log, user.name, "HKEY_USERS\\" + user.sid, ProfileResult::kHostNotFound,
                 platform::kErrorSuccess);
      } else {
        ++usersWithHost;
        const bool hostRunning =
            mode != kModeStatus && userHostRunning_ && userHostRunning_(user.sid);
        code = ProfilesOfOneUser(profiles, names, unreadable, mode, options, log, user.name,
                                 hostRunning);
      }
      // The retry runs as the user, in the user's own registry.
      code = RetryAtLogon(view, mode, options, code, found, log, user.name);
    }
    // A hive left loaded gives the user a temporary profile at the next sign-in.
    const long unloaded = hive.unload();
    if (unloaded != platform::kErrorSuccess) {
      UserLine(options, log, user.name, "HKEY_USERS\\" + hive.keyName(),
               ProfileResult::kHiveNotUnloaded, unloaded);
      code = kExitSomeFailed;
    }
    if (code == kExitHostRunning) ++usersRunningHost;
    failed = failed || code == kExitSomeFailed;
  }
  // Only users whose host runs are left: they are for later, not for the administrator.
  if (failed) return log.finish(kExitSomeFailed);
  if (usersRunningHost > 0) return log.finish(kExitHostRunning);
  return log.finish(usersWithHost == 0 ? kExitNotFound : kExitUpdated);
}

void CNorvexExpressApp::UserLine(const CommandLineOptions& options, RunLog& log,
                                 const std::string& account, const std::string& where,
                                 ProfileResult result, long error) {
  const bool skipped = result == ProfileResult::kHostNotFound;
  std::string reason = profileResultText(result);
  if (error != platform::kErrorSuccess) reason += " (" + std::to_string(error) + ")";
  const std::string user = shown(account), target = shown(where);
  log.line(user + "\t-\t" + target + "\t" + (skipped ? "skipped" : "error") + "\t" +
           profileResultName(result) + "\t" + reason);
  if (options.dryRun || options.action == CommandAction::kStatus)
    Print(user + "\t-\t" + (skipped ? "skipped" : "error") + "\t" + target + "\t" +
          profileResultName(result) + "\t" + reason + "\n");
}

int CNorvexExpressApp::ProfilesOfOneUser(HostProfiles& profiles,
                                         const std::vector<std::string>& names, int unreadable,
                                         int mode, const CommandLineOptions& options, RunLog& log,
                                         const std::string& user, bool hostRunning) {
  const std::string prefix = user.empty() ? std::string() : shown(user) + "\t";
  const bool printed = options.dryRun || mode == kModeStatus;
  // Nothing is changed while the host runs: it would write its own copy over ours.
  if (hostRunning) {
    ProfileReport report;
    report.result = ProfileResult::kHostRunning;
    for (const std::string& name : names) {
      log.profile(prefix + shown(name), report, profileResultName(report.result));
      if (printed)
        Print(prefix + shown(name) + "\terror\t-\t" + reasonColumns(report.result) + "\n");
    }
    return kExitHostRunning;
  }
  bool allDone = unreadable == 0;
  for (int i = 0; i < unreadable; ++i) {
    ProfileReport report;
    report.result = ProfileResult::kProfileNameTooLong;
    log.profile(prefix + "?", report, profileResultName(report.result));
    if (printed) Print(prefix + "?\terror\t-\t" + reasonColumns(report.result) + "\n");
  }
  for (const std::string& name : names) {
    ProfileReport report;
    const char* outcome;
    if (mode == kModeStatus) {
      profiles.Status(name.c_str(), &report);
      allDone = allDone && report.state == ProfileState::kPresent;
      outcome = profileStateName(report.state);
    } else {
      profiles.Update(name.c_str(), mode, options.dryRun, &report);
      allDone = allDone && profileResultDone(report.result);
      outcome = options.dryRun ? dryRunWord(report.result) : profileResultName(report.result);
    }
    const bool failed = mode == kModeStatus ? report.state == ProfileState::kError
                                            : !profileResultDone(report.result);
    log.profile(prefix + shown(name), report, failed ? profileResultName(report.result) : outcome);
    if (printed) {
      std::string line = prefix + shown(name) + "\t" +
                         (failed && mode != kModeStatus ? "error" : outcome) + "\t" +
                         (report.target.empty() ? "-" : shown(report.target));
      if (failed)
        line += "\t" + reasonColumns(report.result);
      else if (report.reason != ProfileResult::kAlreadyAsAsked)
        line += "\t" + reasonColumns(report.reason);
      Print(line + "\n");
    }
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
  return profiles.ReadSupportBasePath(productKey, platformFlag, &supportBasePath) &&
                 profiles.ListProfiles(names, unreadable) && (!names->empty() || *unreadable != 0)
             ? ProfilesFound::kFound
             : ProfilesFound::kHostMissing;
}
