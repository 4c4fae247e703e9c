// The application: reads the command line and runs the silent add or remove over every
// profile, or the main dialog. It owns the registry it works on and the run's edit state.
#pragma once

#include <memory>
#include <string>

#include "app/exit_codes.h"
#include "app/profile_operations.h"
#include "edits/edit_run.h"
#include "platform/registry.h"
#include "profiles/host_profiles.h"

class CNorvexExpressApp : public ProfileOperations {
 public:
  explicit CNorvexExpressApp(std::unique_ptr<platform::Registry> registry);

  // Runs what the command line asks for and returns the exit code.
  int InitInstance(const char* commandLine);
  int AddToAllProfiles() { return UpdateAllProfiles(kModeAdd); }
  int RemoveFromAllProfiles() { return UpdateAllProfiles(kModeRemove); }

  void ListProfiles(std::vector<std::string>* profiles) override;
  bool AddToProfile(const char* profile) override;
  bool RemoveFromProfile(const char* profile) override;
  bool HostIsRunning() override;

 private:
  int UpdateAllProfiles(int mode);
  int UpdateEachProfile(int mode);
  std::unique_ptr<platform::Registry> registry_;
  EditRun run_;
  HostProfiles profiles_;
};
