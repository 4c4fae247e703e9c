#include "app/norvex_express_app.h"

#include <cstring>
#include <new>

#include "app/main_dialog.h"
#include "platform/processes.h"

CNorvexExpressApp::CNorvexExpressApp(std::unique_ptr<platform::Registry> registry)
    : registry_(std::move(registry)), profiles_(*registry_, run_) {}

int CNorvexExpressApp::InitInstance(const char* commandLine) {
  // Plain substring tests, add before remove, exactly as administrators' scripts use them.
  if (commandLine && *commandLine) {
    if (std::strstr(commandLine, "-i") || std::strstr(commandLine, "-I")) return AddToAllProfiles();
    if (std::strstr(commandLine, "-r") || std::strstr(commandLine, "-R"))
      return RemoveFromAllProfiles();
  }
  return runMainDialog(*this);
}

bool CNorvexExpressApp::HostIsRunning() {
  return platform::isProcessRunningForCurrentUser("acadlt.exe");
}

int CNorvexExpressApp::UpdateAllProfiles(int mode) {
  if (HostIsRunning()) return kExitHostRunning;
  try {
    return UpdateEachProfile(mode);
  } catch (const std::bad_alloc&) {
    return kExitSomeFailed;  // in finding the profiles; each profile's own update catches it
  }
}

int CNorvexExpressApp::UpdateEachProfile(int mode) {
  std::string productKey, supportBasePath;
  int platformFlag;
  if (!profiles_.ReadInstallSettings(&productKey, &platformFlag) ||
      !profiles_.ReadSupportBasePath(productKey, platformFlag, &supportBasePath))
    return kExitNotFound;
  std::vector<std::string> names;
  int unreadable = 0;
  if (!profiles_.ListProfiles(&names, &unreadable) || (names.empty() && unreadable == 0))
    return kExitNotFound;
  bool allDone = unreadable == 0;
  const size_t count = names.size();
  for (size_t i = 0; i < count; ++i) {
    bool done =
        mode == kModeAdd ? AddToProfile(names[i].c_str()) : RemoveFromProfile(names[i].c_str());
    allDone = allDone && done;
  }
  return allDone ? kExitUpdated : kExitSomeFailed;
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
