// The registry kept in a text file in the registry editor's export format.
//
// The whole file is read into memory when the registry is made. Keys and value names compare
// without regard to ASCII case and keep the case they were written with. Every successful
// change is written back at once, atomically, in the encoding the file was read in (UTF-8 with
// or without a byte order mark, or UTF-16LE). The write-back keeps the file's lines as read:
// comments, blank lines, sections (root keys' included) and their order, deletion lines and
// line ends; only the line of a changed or deleted value changes, and a new value goes after
// the last line of its key's last section (or into a new section at the end). A file that
// cannot be read or parsed gives a registry whose every open fails, so a damaged file is never
// overwritten. REG_EXPAND_SZ values are written hex(2): in UTF-16LE, as the registry editor
// exports them, and read as text.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_read.h"
#include "platform/registry.h"

namespace platform {

constexpr long kErrorBadDatabase = 1009;  // ERROR_BADDB

class RegistryFile : public Registry {
 public:
  // Reads path; a missing file is an empty registry.
  static std::unique_ptr<RegistryFile> fromFile(const std::string& path);
  // A registry held only in memory (for tests); changes are never written anywhere.
  static std::unique_ptr<RegistryFile> fromText(const std::string& text);
  ~RegistryFile() override;

  bool valid() const { return valid_; }
  // The registry as file text (UTF-8): the lines as read with the changes made since; a
  // registry that was not read from text is written with CRLF line ends.
  std::string toText() const;

  long openKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override;
  long createKey(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key) override;
  long queryValue(RegKey key, const char* name, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size) override;
  long enumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) override;
  long enumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                 std::uint32_t* type, unsigned char* data, std::uint32_t* dataSize) override;
  long setValue(RegKey key, const char* name, std::uint32_t type, const unsigned char* data,
                std::uint32_t size) override;
  long deleteValue(RegKey key, const char* name) override;
  long closeKey(RegKey key) override;
  // A hive is another registry file whose keys are written below HKEY_CURRENT_USER, as an
  // export of that user's own HKEY_CURRENT_USER would be. While loaded, its keys are
  // HKEY_USERS\name\...; each change to them is written back to the hive's file at once.
  long loadHive(const char* name, const char* file) override;
  long unloadHive(const char* name) override;

  struct Value {
    std::string name;
    std::uint32_t type = kRegSz;
    std::vector<unsigned char> data;
    // The file line that last set the value (an index into lines_); -1 for a value made since.
    long line = -1;
    bool changed = false;  // type or data changed since the file was read
  };
  struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> subkeys;
    // The last line of the key's last section in the file; -1 when the file has none.
    long lastLine = -1;
  };

 private:
  RegistryFile() = default;
  // The text side (registry_text.cpp): the file's lines into keys and values.
  bool parse(const std::string& text);
  static std::vector<std::string> splitPath(const std::string& path);
  static Key* childKey(Key* key, const std::string& name);
  static Value* findValue(Key* key, const std::string& name);
  // Writes the file back while it is still the file that was read (or, read missing, while
  // nothing stands at its name): 0, kErrorChangedDuringRun or kErrorAccessDenied.
  long save();
  Key* findKey(RegRoot root, const std::string& path, std::uint32_t access) const;
  // The key at fullPath ("HKEY_...\\a\\b"), made with its parents when create is set;
  // null for an unknown root or, without create, a missing key.
  Key* makeKey(const std::string& fullPath, bool create = true);
  // openKey and createKey.
  long openOrCreate(RegRoot root, const char* subKey, std::uint32_t access, RegKey* key,
                    bool create);

  struct Handle {
    Key* key;
    std::uint32_t access;
    RegistryFile* hive = nullptr;  // a key of a loaded hive: the hive's own handle is inner
    RegKey inner = 0;
  };
  // The loaded hive a handle belongs to, or null.
  RegistryFile* hiveOf(RegKey key, RegKey* inner) const;
  // The key of this file's own handle key, opened with the access right asked for:
  // kErrorSuccess, kErrorInvalidHandle or kErrorAccessDenied.
  long keyOf(RegKey key, std::uint32_t access, Key** opened) const;
  // One logical line of the file (continued lines joined), as read.
  struct Line {
    std::string text;          // every physical line of it, line ends included
    const Key* key = nullptr;  // a value line ("name"=... or @=...): its section's key
    std::string valueName;     // a value line: the value's name
    bool setsValue = false;    // a value line that sets (not deletes) the value
  };
  std::vector<Line> lines_;
  // Keys deleted by [-key] lines, kept alive so that lines_ never points at freed memory.
  std::vector<std::unique_ptr<Key>> removedKeys_;
  // Values deleted since the file was read: every line that set them is left out.
  std::vector<std::pair<const Key*, std::string>> deletedValues_;
  std::string newline_ = "\r\n";
  Key machine_{"HKEY_LOCAL_MACHINE", {}, {}};
  Key user_{"HKEY_CURRENT_USER", {}, {}};
  Key users_{"HKEY_USERS", {}, {}};
  // Loaded hives by lower-case name.
  std::map<std::string, std::unique_ptr<RegistryFile>> hives_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x100;
  std::string path_;       // empty: memory only
  bool existed_ = false;   // the file stood at path_ when it was read or last written
  FileIdentity identity_;  // and was this one
  enum class Encoding { kUtf8, kUtf8Bom, kUtf16 } encoding_ = Encoding::kUtf8;
  bool valid_ = true;
};

// Where the substitute registry lives: NORVEX_EXPRESS_REGISTRY, else the user's
// configuration folder.
std::string registryFilePath();

}  // namespace platform
