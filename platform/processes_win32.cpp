#include <windows.h>
// windows.h first: the Tool Help header needs its types.
#include <sddl.h>
#include <tlhelp32.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/access_token_win32.h"
#include "platform/ascii_text.h"
#include "platform/processes.h"
#include "platform/unique_handle_win32.h"

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

namespace platform {
namespace {

bool nameIs(const wchar_t* candidate, const char* name) {
  size_t i = 0;
  for (; candidate[i] && name[i]; ++i) {
    // A character past Latin-1 matches no byte of the name.
    if (candidate[i] > 0xFF ||
        lowerAsciiLetter(static_cast<char>(candidate[i])) != lowerAsciiLetter(name[i]))
      return false;
  }
  return candidate[i] == 0 && name[i] == 0;
}

// A process that we cannot open is not ours. One whose owner we cannot read, as when it runs
// elevated and we do not, counts when it runs in our session (or, for another user, always).
bool ownedBy(DWORD processId, PSID user, bool currentUser) {
  HANDLE opened = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  // Systems before Vista know only the full query right.
  if (!opened) opened = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
  UniqueHandle process(opened);
  if (!process.valid()) return false;
  std::vector<unsigned char> owner;
  if (tokenUser(process.get(), &owner)) return EqualSid(tokenUserSid(owner), user) != 0;
  if (!currentUser) return true;
  DWORD theirs = 0, ours = 0;
  return ProcessIdToSessionId(processId, &theirs) &&
         ProcessIdToSessionId(GetCurrentProcessId(), &ours) && theirs == ours;
}

}  // namespace

struct SidFree {
  void operator()(void* sid) const { LocalFree(sid); }
};

bool scanProcesses(const char* name, const char* sidText) {
  std::vector<unsigned char> self;
  PSID user = nullptr;
  std::unique_ptr<void, SidFree> givenSid;
  if (sidText) {
    if (!ConvertStringSidToSidA(sidText, &user)) return true;  // nothing can be ruled out
    givenSid.reset(user);
  } else {
    if (!tokenUser(GetCurrentProcess(), &self)) return true;
    user = tokenUserSid(self);
  }
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return true;
  PROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  if (!Process32FirstW(snapshot.get(), &entry)) return true;
  const DWORD ownId = GetCurrentProcessId();
  do {
    if (entry.th32ProcessID != ownId && nameIs(entry.szExeFile, name) &&
        ownedBy(entry.th32ProcessID, user, sidText == nullptr))
      return true;
    entry.dwSize = sizeof entry;
  } while (Process32NextW(snapshot.get(), &entry));
  return false;
}

}  // namespace platform
