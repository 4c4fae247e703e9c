#include <windows.h>
// windows.h first: the ACL header needs its types.
#include <aclapi.h>

#include "platform/file_access.h"
#include "platform/unique_handle_win32.h"

namespace platform {

namespace {

// Whether an open of path for access is refused to us (not merely shared away).
bool accessRefused(const std::string& path, DWORD access, DWORD flags) {
  UniqueHandle file(CreateFileA(path.c_str(), access,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, flags, nullptr));
  return !file.valid() && GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

bool isReadOnlyFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  if (attributes & FILE_ATTRIBUTE_READONLY) return true;
  // The access check of the replace itself: writing and deleting the file, a new file in its
  // folder. Opening changes nothing.
  if (accessRefused(path, FILE_WRITE_DATA | DELETE, FILE_ATTRIBUTE_NORMAL)) return true;
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return false;
  return accessRefused(path.substr(0, separator + 1), FILE_ADD_FILE, FILE_FLAG_BACKUP_SEMANTICS);
}

bool canKeepOwner(const std::string& /*path*/) {
  return true;
}

bool nameTaken(const std::string& path) {
  // Attributes of a link are its own: a dangling one is found too.
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
         GetLastError() != ERROR_FILE_NOT_FOUND;
}

bool sameOwner(const std::string& first, const std::string& second) {
  PSECURITY_DESCRIPTOR descriptors[2] = {nullptr, nullptr};
  PSID owners[2] = {nullptr, nullptr};
  const std::string* paths[2] = {&first, &second};
  bool read = true;
  for (int i = 0; i < 2 && read; ++i)
    read = GetNamedSecurityInfoA(paths[i]->c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                 &owners[i], nullptr, nullptr, nullptr,
                                 &descriptors[i]) == ERROR_SUCCESS;
  const bool same = !read || (owners[0] && owners[1] && EqualSid(owners[0], owners[1]));
  for (PSECURITY_DESCRIPTOR descriptor : descriptors)
    if (descriptor) LocalFree(descriptor);
  return same;
}

}  // namespace platform
