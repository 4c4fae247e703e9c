#include <windows.h>
// After windows.h.
#include <aclapi.h>
#include <authz.h>
#include <sddl.h>

#include "platform/file_read.h"
#include "platform/unique_handle_win32.h"

namespace platform {

namespace {

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity identity;
  identity.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity.modifiedNs = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  identity.volume = info.dwVolumeSerialNumber;
  identity.fileIndex = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return identity;
}

FileReadResult failureOf(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileReadResult::kMissing
                                                                        : FileReadResult::kFailed;
}

// Opens path for reading and checks that it is a regular file on a disk: devices such as
// AUX or CON, pipes and folders are refused before anything is read from them. Gives the size,
// and the identity when asked for it: only that query needs the file's volume, which some
// systems (Wine) ask another process for.
FileReadResult openRegular(const std::string& path, UniqueHandle* handle, std::uint64_t* size,
                           FileIdentity* identity) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return FileReadResult::kNotRegular;
  HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return failureOf(GetLastError());
  handle->reset(opened);
  if (GetFileType(opened) != FILE_TYPE_DISK) return FileReadResult::kNotRegular;
  if (!identity) {
    // Without backup semantics a folder cannot be opened at all.
    LARGE_INTEGER length;
    if (!GetFileSizeEx(opened, &length)) return FileReadResult::kNotRegular;
    *size = static_cast<std::uint64_t>(length.QuadPart);
    return FileReadResult::kRead;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(opened, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return FileReadResult::kNotRegular;
  *identity = identityOf(info);
  *size = identity->size;
  return FileReadResult::kRead;
}

// Reads the file from its start, each read at its own offset, so that the handle's file pointer
// does not matter.
FileReadResult readPieces(HANDLE file, std::uint64_t maxSize,
                          const std::function<bool(const char*, std::size_t)>& consume) {
  std::uint64_t total = 0;
  char buffer[1 << 16];
  for (;;) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(total);
    at.OffsetHigh = static_cast<DWORD>(total >> 32);
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, &at))
      return GetLastError() == ERROR_HANDLE_EOF ? FileReadResult::kRead : FileReadResult::kFailed;
    if (got == 0) return FileReadResult::kRead;
    total += got;
    if (total > maxSize) return FileReadResult::kTooLarge;
    if (!consume(buffer, got)) return FileReadResult::kFailed;
  }
}

}  // namespace

FileReadResult readNamedFileInPieces(const std::string& path, std::uint64_t maxSize,
                                     const std::function<bool(const char*, std::size_t)>& consume,
                                     FileIdentity* identity) {
  UniqueHandle handle;
  std::uint64_t size = 0;
  FileIdentity found;
  FileReadResult opened = openRegular(path, &handle, &size, identity ? &found : nullptr);
  if (opened != FileReadResult::kRead) return opened;
  if (size > maxSize) return FileReadResult::kTooLarge;
  if (identity) *identity = found;
  return readPieces(handle.get(), maxSize, consume);
}

FileReadResult OpenedFile::open(const std::string& path) {
  close();
  UniqueHandle handle;
  std::uint64_t size = 0;
  FileReadResult opened = openRegular(path, &handle, &size, &identity_);
  if (opened != FileReadResult::kRead) return opened;
  handle_ = reinterpret_cast<std::intptr_t>(handle.release());
  path_ = path;
  return opened;
}

void OpenedFile::close() {
  if (pinned_ == this) pinned_ = nullptr;
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

namespace {

// Whether the DACL of descriptor grants a file access to the account sid through the entries
// for the account itself and for the groups every account belongs to. For a system without an
// access check for another account (Wine); it may refuse what Windows would allow, never the
// other way round, as it knows none of the account's other groups.
bool daclGrants(PSID sid, PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK access) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return false;
  if (!present || !dacl) return true;  // no DACL: everybody may do everything
  // Everyone, Authenticated Users, Users.
  static const char* const kGroups[] = {"S-1-1-0", "S-1-5-11", "S-1-5-32-545"};
  PSID groups[3] = {};
  bool ok = true;
  for (int i = 0; i < 3; ++i) ok = ConvertStringSidToSidA(kGroups[i], &groups[i]) && ok;
  GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                             FILE_ALL_ACCESS};
  ACCESS_MASK allowed = 0, denied = 0;
  for (DWORD i = 0; ok && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) {
      ok = false;
      break;
    }
    const bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
    if ((!allows && header->AceType != ACCESS_DENIED_ACE_TYPE) ||
        (header->AceFlags & INHERIT_ONLY_ACE))
      continue;
    // Allowed and denied entries share their layout.
    auto* entry = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    PSID entrySid = &entry->SidStart;
    bool applies = EqualSid(entrySid, sid) != FALSE;
    for (PSID group : groups) applies = applies || (group && EqualSid(entrySid, group));
    if (!applies) continue;
    ACCESS_MASK mask = entry->Mask;
    MapGenericMask(&mask, &mapping);
    // The first entry that speaks of a right decides it.
    if (allows)
      allowed |= mask & ~denied;
    else
      denied |= mask & ~allowed;
  }
  for (PSID group : groups) LocalFree(group);
  return ok && (allowed & access) == access;
}

// Whether the account sid is granted access to an object with descriptor, as Windows would
// decide for a token of that account.
bool accessGranted(PSID sid, PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK access) {
  AUTHZ_RESOURCE_MANAGER_HANDLE manager = nullptr;
  if (!AuthzInitializeResourceManager(AUTHZ_RM_FLAG_NO_AUDIT, nullptr, nullptr, nullptr, nullptr,
                                      &manager))
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && daclGrants(sid, descriptor, access);
  bool granted = false;
  AUTHZ_CLIENT_CONTEXT_HANDLE context = nullptr;
  LUID none = {};
  if (AuthzInitializeContextFromSid(0, sid, manager, nullptr, none, nullptr, &context)) {
    AUTHZ_ACCESS_REQUEST request = {};
    request.DesiredAccess = access;
    ACCESS_MASK grantedMask = 0;
    DWORD error = ERROR_ACCESS_DENIED;
    AUTHZ_ACCESS_REPLY reply = {};
    reply.ResultListLength = 1;
    reply.GrantedAccessMask = &grantedMask;
    reply.Error = &error;
    granted =
        AuthzAccessCheck(0, context, &request, nullptr, descriptor, nullptr, 0, &reply, nullptr) &&
        error == ERROR_SUCCESS && (grantedMask & access) == access;
    AuthzFreeContext(context);
  }
  AuthzFreeResourceManager(manager);
  return granted;
}

}  // namespace

bool OpenedFile::writableBy(const std::string& sid, const std::string& /*profileFolder*/) const {
  if (handle_ == -1) return false;
  PSID user = nullptr;
  if (!ConvertStringSidToSidA(sid.c_str(), &user)) return false;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool writable = false;
  if (GetSecurityInfo(
          reinterpret_cast<HANDLE>(handle_), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &owner, nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
    writable = (owner && EqualSid(owner, user)) ||
               accessGranted(user, descriptor, FILE_GENERIC_WRITE | DELETE);
    LocalFree(descriptor);
  }
  LocalFree(user);
  return writable;
}

FileReadResult OpenedFile::readInPieces(
    std::uint64_t maxSize, const std::function<bool(const char*, std::size_t)>& consume) const {
  if (handle_ == -1) return FileReadResult::kFailed;
  return readPieces(reinterpret_cast<HANDLE>(handle_), maxSize, consume);
}

FileReadResult readFileIdentity(const std::string& path, FileIdentity* identity) {
  UniqueHandle handle;
  std::uint64_t size = 0;
  return openRegular(path, &handle, &size, identity);
}

bool isAbsolutePath(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;  // UNC
  return path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
         path[1] == ':' && separator(path[2]);
}

}  // namespace platform
