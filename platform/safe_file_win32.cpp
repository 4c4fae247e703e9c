#include <windows.h>
// windows.h first: the ACL header needs its types.
#include <aclapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/file_access.h"
#include "platform/safe_file.h"
#include "platform/unique_handle_win32.h"

namespace platform {

namespace {

bool processIsGone(DWORD pid) {
  UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process.valid()) return GetLastError() == ERROR_INVALID_PARAMETER;
  return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

bool resolveReplacementTarget(const std::string& path, std::string* target) {
  *target = path;
  return true;
}

namespace {

// A new file made as a copy of another (a backup) gets that file's ACL, and its owner and
// group where this account may set them, so that the user keeps the access they had.
void copySecurity(const std::string& from, const std::string& to) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PSID owner = nullptr, group = nullptr;
  PACL dacl = nullptr;
  const SECURITY_INFORMATION wanted =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetNamedSecurityInfoA(from.c_str(), SE_FILE_OBJECT, wanted, &owner, &group, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  SECURITY_INFORMATION daclInfo = DACL_SECURITY_INFORMATION;
  if (GetSecurityDescriptorControl(descriptor, &control, &revision) &&
      (control & SE_DACL_PROTECTED))
    daclInfo |= PROTECTED_DACL_SECURITY_INFORMATION;
  // Nothing here allocates: the new file has no name its caller holds yet.
  char* target = const_cast<char*>(to.c_str());
  if (dacl)
    SetNamedSecurityInfoA(target, SE_FILE_OBJECT, daclInfo, nullptr, nullptr, dacl, nullptr);
  SetNamedSecurityInfoA(target, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, owner, group,
                        nullptr, nullptr);
  LocalFree(descriptor);
}

// The stream of a file made by CreateFile, which it takes over; null (and the handle closed)
// when the C library cannot take it.
std::FILE* streamOf(UniqueHandle& file) {
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_BINARY);
  if (descriptor < 0) {
    file.close();
    return nullptr;
  }
  file.release();  // the descriptor owns it now
  std::FILE* stream = _fdopen(descriptor, "w+b");
  if (!stream) _close(descriptor);
  return stream;
}

}  // namespace

// The new file gets its security and attributes from the original when ReplaceFile moves it
// over; a new target (a backup) takes them from identitySource.
std::FILE* createUniqueFileBeside(const std::string& path, const std::string& identitySource,
                                  std::string* newPath) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
    return nullptr;
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    // Here the unique part is the attempt's number.
    std::string candidate =
        path + kNewMarker + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    UniqueHandle file(CreateFileA(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
      if (GetLastError() != ERROR_FILE_EXISTS) return nullptr;
      continue;
    }
    // Opens for the security alone are not refused by the handle we hold.
    if (!identitySource.empty() && identitySource != path) copySecurity(identitySource, candidate);
    std::FILE* stream = streamOf(file);
    if (!stream) {
      DeleteFileA(candidate.c_str());
      return nullptr;
    }
    *newPath = std::move(candidate);  // no allocation once the file exists
    return stream;
  }
  return nullptr;
}

void removeStaleNewFiles(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + kNewMarker;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + kNewMarker + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (_strnicmp(found.cFileName, prefix.c_str(), prefix.size()) != 0) continue;
    const char* rest = found.cFileName + prefix.size();
    char* end = nullptr;
    unsigned long pid = std::strtoul(rest, &end, 10);
    char* attemptEnd = nullptr;
    // Exactly the pattern above: digits, "-", digits.
    if (end == rest || *end != '-' || !end[1]) continue;
    std::strtoul(end + 1, &attemptEnd, 10);
    if (*attemptEnd || pid == GetCurrentProcessId() || !processIsGone(pid)) continue;
    DeleteFileA((folder + found.cFileName).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool flushStreamToDisk(std::FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  return handle != -1 && FlushFileBuffers(reinterpret_cast<HANDLE>(handle));
}

bool flushFileToDisk(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  const bool ok = FlushFileBuffers(file.get()) != 0;
  return file.close() && ok;
}

namespace {

FileStep stepOf(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
      return FileStep::kSharingViolation;
    case ERROR_ACCESS_DENIED:
      return FileStep::kAccessDenied;
    case ERROR_LOCK_VIOLATION:
      return FileStep::kLockViolation;
    default:
      return FileStep::kFailed;
  }
}

// Moves from over an existing to, keeping what the file system keeps of to's identity.
FileStep replaceExisting(const std::string& from, const std::string& to) {
  // ReplaceFile keeps the original's attributes, ACL, owner, creation time and streams.
  if (ReplaceFileA(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                   nullptr))
    return FileStep::kDone;
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
      // Half done: the original may have lost its name while the new file kept its own.
      return nameTaken(to) ? FileStep::kFailed : FileStep::kTargetGone;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
      // A volume that cannot replace keeps its files' identity only as far as a move does.
      if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return FileStep::kDone;
      return stepOf(GetLastError());
    default:
      return stepOf(error);
  }
}

}  // namespace

FileStep moveFileOver(const std::string& from, const std::string& to) {
  DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return moveFileToNewName(from, to);
  FileStep step = replaceExisting(from, to);
  if (step != FileStep::kDone) return step;
  // Where the replacement did not carry them over (a move; some file systems), the hidden,
  // system and archive attributes are set again.
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD now = GetFileAttributesA(to.c_str());
  if (now != INVALID_FILE_ATTRIBUTES && (now & kept) != (attributes & kept)) {
    DWORD wanted = (now & ~kept & ~FILE_ATTRIBUTE_NORMAL) | (attributes & kept);
    SetFileAttributesA(to.c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
  }
  return FileStep::kDone;
}

FileStep moveFileToNewName(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING nothing at to (a file or a link) is replaced.
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return FileStep::kDone;
  return stepOf(GetLastError());
}

bool removeFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

std::size_t maxPathLength() {
  // Long paths need both the manifest's longPathAware and the system's consent (Windows 10
  // 1607 and later, LongPathsEnabled); only ntdll can tell.
  using Query = BOOLEAN(WINAPI*)();
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  FARPROC found = ntdll ? GetProcAddress(ntdll, "RtlAreLongPathsEnabled") : nullptr;
  Query query = nullptr;
  static_assert(sizeof query == sizeof found, "function pointers");
  std::memcpy(&query, &found, sizeof query);
  return query && query() ? 32767 : MAX_PATH - 1;
}

void sleepMilliseconds(unsigned milliseconds) {
  Sleep(milliseconds);
}

}  // namespace platform
