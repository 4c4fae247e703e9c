#include "profiles/logon_retry.h"

#include "profiles/registry_key.h"

const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRetryValueName[] = "NorvexExpress";

std::string retryCommandLine(const std::string& program, const char* action,
                             const std::string& logPath) {
  std::string command = "\"" + program + "\" " + action + " --retry-at-logon";
  if (!logPath.empty()) command += " --log \"" + logPath + "\"";
  return command;
}

long scheduleRetryAtLogon(platform::Registry& registry, const std::string& commandLine) {
  platform::RegKey key = 0;
  long made = registry.createKey(platform::RegRoot::kCurrentUser, kRunOnceKey,
                                 platform::kKeyAllAccess, &key);
  if (made != platform::kErrorSuccess) return made;
  long written = registry.setValue(key, kRetryValueName, platform::kRegSz,
                                   reinterpret_cast<const unsigned char*>(commandLine.c_str()),
                                   static_cast<std::uint32_t>(commandLine.size() + 1));
  registry.closeKey(key);
  return written;
}

long cancelRetryAtLogon(platform::Registry& registry) {
  RegistryKey key(registry, platform::RegRoot::kCurrentUser, kRunOnceKey, platform::kKeyAllAccess);
  if (key.error() == platform::kErrorFileNotFound) return platform::kErrorSuccess;
  if (!key.isOpen()) return key.error();
  long deleted = registry.deleteValue(key.get(), kRetryValueName);
  return deleted == platform::kErrorFileNotFound ? platform::kErrorSuccess : deleted;
}
