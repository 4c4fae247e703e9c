// The application: reads the command line and runs the silent add or remove over every
// profile, the status look-up, or the main dialog. It owns the registry it works on and the
// run's edit state; the output function and the host check are its own copies.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/exit_codes.h"
#include "edits/edit_run.h"
#include "platform/registry.h"
#include "profiles/host_profiles.h"

class CNorvexExpressApp {
 public:
  using Output = std::function<bool(const std::string&)>;

  explicit CNorvexExpressApp(std::unique_ptr<platform::Registry> registry);

  // The program's start: runs what the arguments (without the program's name) ask for, the
  // dialog, a silent run or the usage, and returns the exit code.
  int InitInstance(const std::vector<std::string>& arguments);
  // The same for a whole command line, split by Windows' rules.
  int InitInstance(const char* commandLine);
  // The silent add and remove over every profile of this user, or of every user of the
  // machine with options.allUsers, as the options ask; they return the exit code.
  int AddToAllProfiles(const CommandLineOptions& options);
  int RemoveFromAllProfiles(const CommandLineOptions& options);

  // The command line as the system gave it, program included, for the log's header; without
  // it, the header holds the command line or arguments InitInstance was given.
  void SetCommandLine(const std::string& commandLine) { commandLine_ = commandLine; }
  // Where printed lines go; standard output by default.
  void SetOutput(Output output) { output_ = std::move(output); }
  // Whether the host runs for this user; the process check by default.
  void SetHostCheck(std::function<bool()> check) { profiles_.SetHostCheck(std::move(check)); }
  // Whether it runs for the user with a SID, in a run over every user.
  void SetUserHostCheck(std::function<bool(const std::string&)> check) {
    userHostRunning_ = std::move(check);
  }

 private:
  class RunLog;
  struct Record;
  // How far the look-up for profiles came.
  enum class ProfilesFound { kFound, kSettingsMissing, kHostMissing, kNoProfiles };
  // A silent run of the mode: the log, the machine-wide lock, and this user's or every user's
  // profiles.
  int SilentRun(ProfileMode mode, const CommandLineOptions& options);
  static std::string ActionText(ProfileMode mode, const CommandLineOptions& options);
  // The run over this user's profiles, or over every user's; mode ProfileMode::kStatus for
  // --status.
  int RunForThisUser(ProfileMode mode, const CommandLineOptions& options, RunLog& log);
  int RunForAllUsers(ProfileMode mode, const CommandLineOptions& options, RunLog& log);
  // Another run holds the machine-wide lock: nothing is done, exit 3.
  int AnotherRun(ProfileMode mode, const CommandLineOptions& options, RunLog& log);
  // Updates or looks up names; lines begin with user when it is not empty. Returns the exit
  // code of this user's part.
  int ProfilesOfOneUser(HostProfiles& profiles, const std::vector<std::string>& names,
                        int unreadable, ProfileMode mode, const CommandLineOptions& options,
                        RunLog& log, const std::string& user, bool hostRunning);
  static ProfilesFound FindProfiles(HostProfiles& profiles, std::vector<std::string>* names,
                                    int* unreadable);
  // With --retry-at-logon: leaves the user's RunOnce value after a run that ended with code 2
  // (no host or profile yet) or 3, removes it after 0. Returns the run's exit code, 1 when the
  // value could not be written.
  int RetryAtLogon(platform::Registry& registry, ProfileMode mode,
                   const CommandLineOptions& options, int code, ProfilesFound found, RunLog& log,
                   const std::string& user);
  // The line that says why a run found nothing to do (exit 2); ownRegistry when it looked in
  // the caller's own registry.
  void NothingFound(RunLog& log, ProfilesFound found, const std::string& productKey,
                    bool ownRegistry);
  // Logs the line, and prints it when print.
  void Say(RunLog& log, const Record& record, bool print);
  void Print(const std::string& text);
  std::unique_ptr<platform::Registry> registry_;
  std::string commandLine_;
  EditRun run_;
  HostProfiles profiles_;
  Output output_;
  std::function<bool(const std::string&)> userHostRunning_;
};
