#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "platform/ascii_text.h"
#include "platform/processes.h"

namespace platform {
namespace {

// The kernel keeps only this many bytes of a process's name in comm.
constexpr size_t kCommLength = 15;

// The last part of a path; a Windows program under a compatibility layer shows '\' paths.
bool baseNameIs(const std::string& path, const char* name) {
  size_t slash = path.find_last_of("/\\");
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  return !path.empty() && equalsIgnoringAsciiCase(std::string_view(path).substr(start), name);
}

// Reads a /proc file up to its end or, with stopAtNul, its first NUL. False when it cannot be
// read, e.g. because the process has ended.
bool readProcFile(const std::string& path, std::string* text, bool stopAtNul) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  text->clear();
  char buffer[4096];
  bool ok = true;
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    text->append(buffer, static_cast<size_t>(got));
    if (stopAtNul) {
      size_t nul = text->find('\0');
      if (nul != std::string::npos) {
        text->resize(nul);
        break;
      }
    }
  }
  close(fd);
  return ok;
}

// The value after "Key:" in /proc/PID/status, up to the end of its line.
bool statusField(const std::string& status, const char* key, std::string* value) {
  std::string prefix = std::string(key) + ":";
  size_t at = status.compare(0, prefix.size(), prefix) == 0 ? 0 : status.find("\n" + prefix);
  if (at == std::string::npos) return false;
  if (at != 0) ++at;
  size_t start = status.find_first_not_of(" \t", at + prefix.size());
  if (start == std::string::npos) return false;
  size_t end = status.find('\n', start);
  *value = status.substr(start, end == std::string::npos ? std::string::npos : end - start);
  return true;
}

// A live process whose real user is ours.
bool isLiveAndOurs(const std::string& folder) {
  std::string status, uids, state;
  if (!readProcFile(folder + "/status", &status, false) || !statusField(status, "Uid", &uids))
    return false;
  if (statusField(status, "State", &state) && !state.empty() &&
      (state[0] == 'Z' || state[0] == 'X'))
    return false;
  char* end = nullptr;
  unsigned long realUid = std::strtoul(uids.c_str(), &end, 10);
  return end != uids.c_str() && (*end == '\t' || *end == ' ' || *end == '\0') &&
         realUid == static_cast<unsigned long>(getuid());
}

bool isNamed(const std::string& folder, const char* name) {
  std::string text;
  // A comm of the full length may have been cut short, so it proves only a shorter name.
  if (std::strlen(name) < kCommLength && readProcFile(folder + "/comm", &text, false)) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (equalsIgnoringAsciiCase(text, name)) return true;
  }
  char target[PATH_MAX + 1];
  ssize_t length = readlink((folder + "/exe").c_str(), target, sizeof target);
  if (length > 0 && static_cast<size_t>(length) < sizeof target &&
      baseNameIs(std::string(target, static_cast<size_t>(length)), name))
    return true;
  return readProcFile(folder + "/cmdline", &text, true) && baseNameIs(text, name);
}

bool environmentHas(const std::string& folder, const std::string& wanted) {
  std::string environment;
  if (!readProcFile(folder + "/environ", &environment, false)) return false;
  for (size_t at = 0; at < environment.size();) {
    size_t end = environment.find('\0', at);
    if (end == std::string::npos) end = environment.size();
    if (environment.compare(at, end - at, wanted) == 0) return true;
    at = end + 1;
  }
  return false;
}

// The substitute registry stands for one machine: while it is named by NORVEX_EXPRESS_REGISTRY,
// only programs started with the same name run on that machine.
bool sharesOurRegistry(const std::string& folder, const char* ourRegistry) {
  if (!ourRegistry || !*ourRegistry) return true;
  return environmentHas(folder, std::string("NORVEX_EXPRESS_REGISTRY=") + ourRegistry);
}

// Another user of the substitute machine is a process started with that user's SID.
bool runsFor(const std::string& folder, const char* sid) {
  return !sid || environmentHas(folder, std::string("NORVEX_EXPRESS_USER_SID=") + sid);
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool scanProcesses(const char* name, const char* sid) {
  std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
  if (!proc) return true;  // nothing can be ruled out
  const pid_t self = getpid();
  const char* ourRegistry = std::getenv("NORVEX_EXPRESS_REGISTRY");
  bool found = false;
  while (!found) {
    errno = 0;
    struct dirent* entry = readdir(proc.get());
    if (!entry) return errno != 0;  // a list cut short rules nothing out
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == self) continue;
    std::string folder = std::string("/proc/") + entry->d_name;
    found = isNamed(folder, name) && isLiveAndOurs(folder) &&
            sharesOurRegistry(folder, ourRegistry) && runsFor(folder, sid);
  }
  return found;
}

}  // namespace platform
