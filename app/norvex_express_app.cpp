#include "app/norvex_express_app.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "app/console_output.h"
#include "app/czech_texts.h"
#include "app/main_dialog.h"
#include "platform/processes.h"

#ifndef NVX_VERSION
#define NVX_VERSION "0"
#endif

namespace {

// The one place that asks whether the host runs.
bool hostProgramRuns() {
  return platform::isProcessRunningForCurrentUser("acadlt.exe");
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

std::string reasonColumns(ProfileResult result) {
  return std::string(profileResultName(result)) + "\t" + profileResultText(result);
}

}  // namespace

// Appends the run's lines to the log file, when one was asked for. A log that cannot be
// opened or written is left out; the run goes on.
class CNorvexExpressApp::RunLog {
 public:
  explicit RunLog(const CommandLineOptions& options) {
    if (options.log) file_ = openFileForAppend(options.logPath);
  }
  ~RunLog() {
    if (file_) std::fclose(file_);
  }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  void header(const std::string& action, const std::string& productKey) {
    line(localTimeText() + "\tNorvex Express " NVX_VERSION "\t" + action + "\t" +
         (productKey.empty() ? "-" : productKey));
  }
  // The profile, its file or key, the outcome (a result, a dry run's word or a state) and,
  // for a failure, the reason.
  void profile(const std::string& name, const ProfileReport& report, const char* outcome) {
    std::string text = name + "\t" + (report.target.empty() ? "-" : report.target) + "\t" + outcome;
    if (!profileResultDone(report.result))
      text += std::string("\t") + profileResultText(report.result);
    line(text);
  }
  int finish(int code) {
    line("exit " + std::to_string(code));
    return code;
  }

 private:
  void line(const std::string& text) {
    if (!file_) return;
    std::string whole = text + "\n";
    if (std::fwrite(whole.data(), 1, whole.size(), file_) != whole.size() ||
        std::fflush(file_) != 0) {
      std::fclose(file_);
      file_ = nullptr;
    }
  }
  std::FILE* file_ = nullptr;
};

CNorvexExpressApp::CNorvexExpressApp(std::unique_ptr<platform::Registry> registry)
    : registry_(std::move(registry)),
      profiles_(*registry_, run_),
      output_(writeStandardOutput),
      hostRunning_(hostProgramRuns) {}

bool CNorvexExpressApp::HostIsRunning() {
  return hostRunning_ && hostRunning_();
}

int CNorvexExpressApp::InitInstance(const char* commandLine) {
  return Run(splitCommandLine(commandLine ? commandLine : ""));
}

int CNorvexExpressApp::Run(const std::vector<std::string>& arguments) {
  CommandLineOptions options = parseCommandLine(arguments);
  switch (options.action) {
    case CommandAction::kDialog:
      return runMainDialog(*this);
    case CommandAction::kHelp:
      Print(usageText());
      return kExitUpdated;
    case CommandAction::kUsage:
      Print(std::string(NVX_TEXT_USAGE_PROBLEM) + options.problem + "\n" + usageText());
      return kExitUsage;
    case CommandAction::kAdd:
      return UpdateAllProfiles(kModeAdd, options);
    case CommandAction::kRemove:
      return UpdateAllProfiles(kModeRemove, options);
    case CommandAction::kStatus:
      break;
  }
  try {
    RunLog log(options);
    return StatusOfEachProfile(log);
  } catch (const std::bad_alloc&) {
    return kExitSomeFailed;
  }
}

void CNorvexExpressApp::Print(const std::string& text) {
  if (output_) output_(text);
}

int CNorvexExpressApp::UpdateAllProfiles(int mode, const CommandLineOptions& options) {
  try {
    RunLog log(options);
    return UpdateEachProfile(mode, options, log);
  } catch (const std::bad_alloc&) {
    return kExitSomeFailed;  // in finding the profiles; each profile's own update catches it
  }
}

int CNorvexExpressApp::UpdateEachProfile(int mode, const CommandLineOptions& options, RunLog& log) {
  std::string action = mode == kModeAdd ? "-i" : "-r";
  if (options.dryRun) action += " --dry-run";
  std::vector<std::string> names;
  int unreadable = 0;
  if (!FindProfiles(action, log, &names, &unreadable)) return log.finish(kExitNotFound);
  // Nothing is changed while the host runs: it would write its own copy over ours.
  if (HostIsRunning()) {
    ProfileReport report;
    report.result = ProfileResult::kHostRunning;
    for (const std::string& name : names) {
      log.profile(name, report, profileResultName(report.result));
      if (options.dryRun) Print(name + "\terror\t-\t" + reasonColumns(report.result) + "\n");
    }
    return log.finish(kExitHostRunning);
  }
  bool allDone = unreadable == 0;
  for (int i = 0; i < unreadable; ++i) {
    ProfileReport report;
    report.result = ProfileResult::kProfileNameTooLong;
    log.profile("?", report, profileResultName(report.result));
    if (options.dryRun) Print("?\terror\t-\t" + reasonColumns(report.result) + "\n");
  }
  for (const std::string& name : names) {
    ProfileReport report;
    profiles_.Update(name.c_str(), mode, options.dryRun, &report);
    allDone = allDone && profileResultDone(report.result);
    log.profile(name, report,
                options.dryRun && profileResultDone(report.result)
                    ? dryRunWord(report.result)
                    : profileResultName(report.result));
    if (options.dryRun) {
      std::string line = name + "\t" + dryRunWord(report.result) + "\t" +
                         (report.target.empty() ? "-" : report.target);
      if (!profileResultDone(report.result)) line += "\t" + reasonColumns(report.result);
      Print(line + "\n");
    }
  }
  return log.finish(allDone ? kExitUpdated : kExitSomeFailed);
}

bool CNorvexExpressApp::FindProfiles(const std::string& action, RunLog& log,
                                     std::vector<std::string>* names, int* unreadable) {
  std::string productKey, supportBasePath;
  int platformFlag;
  bool installed = profiles_.ReadInstallSettings(&productKey, &platformFlag);
  log.header(action, productKey);
  return installed && profiles_.ReadSupportBasePath(productKey, platformFlag, &supportBasePath) &&
         profiles_.ListProfiles(names, unreadable) && (!names->empty() || *unreadable != 0);
}

int CNorvexExpressApp::StatusOfEachProfile(RunLog& log) {
  std::vector<std::string> names;
  int unreadable = 0;
  if (!FindProfiles("--status", log, &names, &unreadable)) return log.finish(kExitNotFound);
  bool allPresent = unreadable == 0;
  for (int i = 0; i < unreadable; ++i) {
    ProfileReport report;
    report.result = ProfileResult::kProfileNameTooLong;
    log.profile("?", report, profileResultName(report.result));
    Print("?\terror\t-\t" + reasonColumns(report.result) + "\n");
  }
  for (const std::string& name : names) {
    ProfileReport report;
    profiles_.Status(name.c_str(), &report);
    allPresent = allPresent && report.state == ProfileState::kPresent;
    std::string line = name + "\t" + profileStateName(report.state) + "\t" +
                       (report.target.empty() ? "-" : report.target);
    if (report.state == ProfileState::kError) line += "\t" + reasonColumns(report.result);
    Print(line + "\n");
    log.profile(name, report,
                report.state == ProfileState::kError ? profileResultName(report.result)
                                                     : profileStateName(report.state));
  }
  return log.finish(allPresent ? kExitUpdated : kExitSomeFailed);
}

void CNorvexExpressApp::ListProfiles(std::vector<std::string>* profiles) {
  profiles_.ListProfiles(profiles);
}

// Memory that runs out fails the one profile; the run goes on with the next.
bool CNorvexExpressApp::AddToProfile(const char* profile) {
  try {
    return profiles_.AddToProfile(profile);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CNorvexExpressApp::RemoveFromProfile(const char* profile) {
  try {
    return profiles_.RemoveFromProfile(profile);
  } catch (const std::bad_alloc&) {
    return false;
  }
}
