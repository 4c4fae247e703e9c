#include <windows.h>

#include "platform/file_read.h"

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

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Opens path for reading and checks that it is a regular file on a disk: devices such as
// AUX or CON, pipes and folders are refused before anything is read from them. Gives the size,
// and the identity when asked for it: only that query needs the file's volume, which some
// systems (Wine) ask another process for.
FileReadResult openRegular(const std::string& path, HANDLE* handle, std::uint64_t* size,
                           FileIdentity* identity) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return FileReadResult::kNotRegular;
  *handle = CreateFileA(path.c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (*handle == INVALID_HANDLE_VALUE) return failureOf(GetLastError());
  if (GetFileType(*handle) != FILE_TYPE_DISK) return FileReadResult::kNotRegular;
  if (!identity) {
    // Without backup semantics a folder cannot be opened at all.
    LARGE_INTEGER length;
    if (!GetFileSizeEx(*handle, &length)) return FileReadResult::kNotRegular;
    *size = static_cast<std::uint64_t>(length.QuadPart);
    return FileReadResult::kRead;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(*handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return FileReadResult::kNotRegular;
  *identity = identityOf(info);
  *size = identity->size;
  return FileReadResult::kRead;
}

}  // namespace

FileReadResult readRegularFileInPieces(const std::string& path, std::uint64_t maxSize,
                                       const std::function<bool(const char*, std::size_t)>& consume,
                                       FileIdentity* identity) {
  HANDLE raw = INVALID_HANDLE_VALUE;
  std::uint64_t size = 0;
  FileIdentity found;
  FileReadResult opened = openRegular(path, &raw, &size, identity ? &found : nullptr);
  Handle handle(raw);
  if (opened != FileReadResult::kRead) return opened;
  if (size > maxSize) return FileReadResult::kTooLarge;
  if (identity) *identity = found;
  std::uint64_t total = 0;
  char buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr))
      return FileReadResult::kFailed;
    if (got == 0) return FileReadResult::kRead;
    total += got;
    if (total > maxSize) return FileReadResult::kTooLarge;
    if (!consume(buffer, got)) return FileReadResult::kFailed;
  }
}

FileReadResult readFileIdentity(const std::string& path, FileIdentity* identity) {
  HANDLE raw = INVALID_HANDLE_VALUE;
  std::uint64_t size = 0;
  FileReadResult opened = openRegular(path, &raw, &size, identity);
  Handle handle(raw);
  return opened;
}

bool isAbsolutePath(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;  // UNC
  return path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
         path[1] == ':' && separator(path[2]);
}

}  // namespace platform
