#include "platform/registry_file.h"

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/file_read.h"
#include "platform/safe_file.h"
#include "platform/text_utf.h"

namespace platform {
namespace {

constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;

bool makeFolders(const std::string& filePath) {
  for (size_t i = 1; i < filePath.size(); ++i) {
    if (filePath[i] != '/') continue;
    std::string folder = filePath.substr(0, i);
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Copies value's data into data, when given, which has room for *size bytes; then *size, when
// given, is the data's length. kErrorMoreData, with the length in *size, when it does not fit.
long copyValueData(const RegistryFile::Value& value, unsigned char* data, std::uint32_t* size) {
  std::uint32_t length = static_cast<std::uint32_t>(value.data.size());
  if (data) {
    if (!size) return kErrorInvalidParameter;
    if (*size < length) {
      *size = length;
      return kErrorMoreData;
    }
    if (length) std::memcpy(data, value.data.data(), length);
  }
  if (size) *size = length;
  return kErrorSuccess;
}

}  // namespace

std::vector<std::string> RegistryFile::splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

RegistryFile::Key* RegistryFile::childKey(Key* key, const std::string& name) {
  for (auto& sub : key->subkeys)
    if (equalsIgnoringAsciiCase(sub->name, name)) return sub.get();
  return nullptr;
}

RegistryFile::Value* RegistryFile::findValue(Key* key, const std::string& name) {
  for (auto& value : key->values)
    if (equalsIgnoringAsciiCase(value.name, name)) return &value;
  return nullptr;
}

std::unique_ptr<RegistryFile> RegistryFile::fromFile(const std::string& path) {
  std::unique_ptr<RegistryFile> registry(new RegistryFile());
  registry->path_ = path;
  std::string bytes;
  FileReadResult read = readRegularFile(path, kNoSizeLimit, &bytes, &registry->identity_);
  registry->existed_ = read == FileReadResult::kRead;
  if (read != FileReadResult::kRead) {
    registry->valid_ = read == FileReadResult::kMissing;  // a missing file is an empty registry
    return registry;
  }
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    registry->encoding_ = Encoding::kUtf16;
    if (!utf16leToUtf8(bytes.substr(2), &text)) {
      registry->valid_ = false;
      return registry;
    }
  } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    registry->encoding_ = Encoding::kUtf8Bom;
    text = bytes.substr(3);
  } else {
    text = bytes;
  }
  registry->valid_ = bytes.empty() || registry->parse(text);
  return registry;
}

RegistryFile::~RegistryFile() = default;

RegistryFile::Key* RegistryFile::makeKey(const std::string& fullPath, bool create) {
  std::vector<std::string> parts = splitPath(fullPath);
  if (parts.empty()) return nullptr;
  Key* key;
  if (equalsIgnoringAsciiCase(parts[0], "HKEY_LOCAL_MACHINE") ||
      equalsIgnoringAsciiCase(parts[0], "HKLM"))
    key = &machine_;
  else if (equalsIgnoringAsciiCase(parts[0], "HKEY_CURRENT_USER") ||
           equalsIgnoringAsciiCase(parts[0], "HKCU"))
    key = &user_;
  else if (equalsIgnoringAsciiCase(parts[0], "HKEY_USERS") ||
           equalsIgnoringAsciiCase(parts[0], "HKU"))
    key = &users_;
  else
    return nullptr;
  for (size_t i = 1; i < parts.size(); ++i) {
    Key* sub = childKey(key, parts[i]);
    if (!sub) {
      if (!create) return nullptr;
      key->subkeys.push_back(std::make_unique<Key>());
      sub = key->subkeys.back().get();
      sub->name = parts[i];
    }
    key = sub;
  }
  return key;
}

RegistryFile::Key* RegistryFile::findKey(RegRoot root, const std::string& path,
                                         std::uint32_t access) const {
  const Key* rootKey = root == RegRoot::kLocalMachine ? &machine_
                       : root == RegRoot::kUsers      ? &users_
                                                      : &user_;
  Key* key = const_cast<Key*>(rootKey);
  std::vector<std::string> parts = splitPath(path);
  // The 32-bit view of the machine's software keys lives below WOW6432Node.
  if (root == RegRoot::kLocalMachine && (access & kKeyWow64_32Key) && !parts.empty() &&
      equalsIgnoringAsciiCase(parts[0], "Software") &&
      (parts.size() < 2 || !equalsIgnoringAsciiCase(parts[1], "WOW6432Node")))
    parts.insert(parts.begin() + 1, "WOW6432Node");
  for (const auto& part : parts) {
    key = childKey(key, part);
    if (!key) return nullptr;
  }
  return key;
}

long RegistryFile::save() {
  if (path_.empty()) return kErrorSuccess;
  std::string text = toText();
  std::string bytes;
  if (encoding_ == Encoding::kUtf16) {
    bytes = "\xFF\xFE";
    std::string wide;
    if (!utf8ToUtf16le(text, &wide)) return kErrorAccessDenied;
    bytes += wide;
  } else {
    bytes = (encoding_ == Encoding::kUtf8Bom ? "\xEF\xBB\xBF" : "") + text;
  }
  if (!makeFolders(path_)) return kErrorAccessDenied;
  // Another run or the user may have written the file since it was read: that is kept.
  ReplacementFile file(path_);
  if (existed_)
    file.expectIdentity(identity_);
  else
    file.createOnly();
  if (file.open() && file.write(bytes.data(), bytes.size()) && file.commit()) {
    existed_ = readFileIdentity(path_, &identity_) == FileReadResult::kRead;
    return kErrorSuccess;
  }
  FileIdentity now;
  const FileReadResult found = readFileIdentity(path_, &now);
  const bool changed = existed_ ? found != FileReadResult::kRead || now != identity_
                                : found != FileReadResult::kMissing;
  return changed ? kErrorChangedDuringRun : kErrorAccessDenied;
}

long RegistryFile::openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) {
  return openOrCreate(root, subKey, access, key, false);
}

long RegistryFile::createKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) {
  return openOrCreate(root, subKey, access, key, true);
}

long RegistryFile::openOrCreate(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key,
                                bool create) {
  if (!key) return kErrorInvalidParameter;
  if (!valid_) return kErrorBadDatabase;
  if (root != RegRoot::kLocalMachine && root != RegRoot::kCurrentUser && root != RegRoot::kUsers)
    return kErrorInvalidHandle;
  if (root == RegRoot::kUsers && subKey) {
    std::string path = subKey;
    size_t separator = path.find('\\');
    auto hive = hives_.find(lowerAscii(path.substr(0, separator)));
    if (hive != hives_.end()) {
      RegKey inner = 0;
      std::string rest = separator == std::string::npos ? "" : path.substr(separator + 1);
      long opened =
          hive->second->openOrCreate(RegRoot::kCurrentUser, rest.c_str(), access, &inner, create);
      if (opened != kErrorSuccess) return opened;
      *key = nextHandle_++;
      handles_[*key] = Handle{nullptr, access, hive->second.get(), inner};
      return kErrorSuccess;
    }
  }
  Key* found = findKey(root, subKey ? subKey : "", access);
  // Made only where no view moves it: the keys below HKEY_CURRENT_USER and HKEY_USERS.
  if (!found && create && root != RegRoot::kLocalMachine && subKey && *subKey)
    found = makeKey(std::string(root == RegRoot::kUsers ? "HKEY_USERS\\" : "HKEY_CURRENT_USER\\") +
                    subKey);
  if (!found) return kErrorFileNotFound;
  *key = nextHandle_++;
  handles_[*key] = Handle{found, access};
  return kErrorSuccess;
}

long RegistryFile::queryValue(RegKey key, const char* name, std::uint32_t* type,
                              unsigned char* data, std::uint32_t* size) {
  RegKey inner = 0;
  if (RegistryFile* hive = hiveOf(key, &inner))
    return hive->queryValue(inner, name, type, data, size);
  Key* opened = nullptr;
  if (long error = keyOf(key, kKeyQueryValue, &opened)) return error;
  Value* value = findValue(opened, name ? name : "");
  if (!value) return kErrorFileNotFound;
  if (type) *type = value->type;
  return copyValueData(*value, data, size);
}

long RegistryFile::enumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) {
  RegKey inner = 0;
  if (RegistryFile* hive = hiveOf(key, &inner)) return hive->enumKey(inner, index, name, nameSize);
  Key* opened = nullptr;
  if (long error = keyOf(key, kKeyEnumerateSubKeys, &opened)) return error;
  if (!name || !nameSize) return kErrorInvalidParameter;
  const auto& subs = opened->subkeys;
  if (index >= subs.size()) return kErrorNoMoreItems;
  const std::string& found = subs[index]->name;
  if (found.size() + 1 > *nameSize) return kErrorMoreData;
  std::memcpy(name, found.c_str(), found.size() + 1);
  *nameSize = static_cast<std::uint32_t>(found.size());
  return kErrorSuccess;
}

long RegistryFile::enumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                             std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) {
  RegKey inner = 0;
  if (RegistryFile* hive = hiveOf(key, &inner))
    return hive->enumValue(inner, index, name, nameSize, type, data, dataSize);
  Key* opened = nullptr;
  if (long error = keyOf(key, kKeyQueryValue, &opened)) return error;
  if (!name || !nameSize) return kErrorInvalidParameter;
  const auto& values = opened->values;
  if (index >= values.size()) return kErrorNoMoreItems;
  const Value& value = values[index];
  if (value.name.size() + 1 > *nameSize) return kErrorMoreData;
  if (long copied = copyValueData(value, data, dataSize)) return copied;
  std::memcpy(name, value.name.c_str(), value.name.size() + 1);
  *nameSize = static_cast<std::uint32_t>(value.name.size());
  if (type) *type = value.type;
  return kErrorSuccess;
}

long RegistryFile::setValue(RegKey key, const char* name, std::uint32_t type,
                            const unsigned char* data, std::uint32_t size) {
  RegKey inner = 0;
  if (RegistryFile* hive = hiveOf(key, &inner))
    return hive->setValue(inner, name, type, data, size);
  Key* target = nullptr;
  if (long error = keyOf(key, kKeySetValue, &target)) return error;
  if (size && !data) return kErrorInvalidParameter;
  // A name with a line break cannot be written to the file.
  if (name && std::strpbrk(name, "\r\n")) return kErrorInvalidParameter;
  std::vector<Value> before = target->values;
  std::vector<unsigned char> bytes(data, data + size);
  Value* value = findValue(target, name ? name : "");
  if (!value) {
    target->values.push_back(Value{name ? name : "", type, {}, -1, false});
    value = &target->values.back();
  }
  if (value->type != type || value->data != bytes) value->changed = true;
  value->type = type;
  value->data = std::move(bytes);
  if (long saved = save()) {
    target->values = before;
    return saved;
  }
  return kErrorSuccess;
}

long RegistryFile::deleteValue(RegKey key, const char* name) {
  RegKey inner = 0;
  if (RegistryFile* hive = hiveOf(key, &inner)) return hive->deleteValue(inner, name);
  Key* target = nullptr;
  if (long error = keyOf(key, kKeySetValue, &target)) return error;
  std::vector<Value> before = target->values;
  auto& values = target->values;
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (!equalsIgnoringAsciiCase(it->name, name ? name : "")) continue;
    deletedValues_.emplace_back(target, it->name);
    values.erase(it);
    if (long saved = save()) {
      target->values = before;
      deletedValues_.pop_back();
      return saved;
    }
    return kErrorSuccess;
  }
  return kErrorFileNotFound;
}

long RegistryFile::closeKey(RegKey key) {
  RegKey inner = 0;
  if (RegistryFile* hive = hiveOf(key, &inner)) hive->closeKey(inner);
  return handles_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long RegistryFile::keyOf(RegKey key, std::uint32_t access, Key** opened) const {
  auto handle = handles_.find(key);
  if (handle == handles_.end()) return kErrorInvalidHandle;
  if (!(handle->second.access & access)) return kErrorAccessDenied;
  *opened = handle->second.key;
  return kErrorSuccess;
}

RegistryFile* RegistryFile::hiveOf(RegKey key, RegKey* inner) const {
  auto handle = handles_.find(key);
  if (handle == handles_.end() || !handle->second.hive) return nullptr;
  *inner = handle->second.inner;
  return handle->second.hive;
}

long RegistryFile::loadHive(const char* name, const char* file) {
  if (!valid_) return kErrorBadDatabase;
  if (!name || !*name || std::strchr(name, '\\') || !file || !*file) return kErrorInvalidParameter;
  std::string lowerName = lowerAscii(name);
  if (hives_.count(lowerName) || childKey(&users_, name)) return kErrorAlreadyExists;
  FileIdentity identity;
  switch (readFileIdentity(file, &identity)) {
    case FileReadResult::kRead:
      break;
    case FileReadResult::kMissing:
      return kErrorFileNotFound;
    case FileReadResult::kNotRegular:
      return kErrorBadDatabase;
    default:
      return kErrorAccessDenied;
  }
  std::unique_ptr<RegistryFile> hive = fromFile(file);
  if (!hive->valid()) return kErrorBadDatabase;
  hives_[lowerName] = std::move(hive);
  return kErrorSuccess;
}

long RegistryFile::unloadHive(const char* name) {
  auto hive = hives_.find(lowerAscii(name ? name : ""));
  if (hive == hives_.end()) return kErrorInvalidParameter;
  for (const auto& handle : handles_)
    if (handle.second.hive == hive->second.get()) return kErrorAccessDenied;  // keys still open
  hives_.erase(hive);  // every change was written back when it was made
  return kErrorSuccess;
}

std::string registryFilePath() {
  const char* explicitPath = std::getenv("NORVEX_EXPRESS_REGISTRY");
  if (explicitPath && *explicitPath) return explicitPath;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && *config) {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : ".") + "/.config";
  }
  return base + "/norvex-express/registry.reg";
}

}  // namespace platform