// The members of a ZIP archive, held whole in memory.
//
// A zipEntryList owns its entries, and each entry owns its name, comment, extra fields and
// uncompressed data. readArchive fills a list from one whole read of a regular file;
// writeArchive builds the new archive in memory and replaces the file with it in one step, so
// that the file changes only when the whole archive was built. Both say why they failed, running
// out of memory included; a list that failed to read holds nothing.
#pragma once

// Process-wide cache, for one thread: the room of the largest member data a read gave up, up to
// 32 MiB, waits for the next member read; where the heap does not keep freed blocks itself (see
// heapKeepsFreedBlocks), it stays until the process ends, for the next archive read.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/file_read.h"

// Members larger than this, or archives whose members add up to more, are refused: the
// sizes an archive declares are not trusted for allocation. The archive file itself may not
// be larger either, when read or written.
constexpr std::uint64_t kMaxMemberSize = std::uint64_t{256} << 20;
constexpr std::uint64_t kMaxArchiveContent = std::uint64_t{1} << 30;

// Why an archive could not be read or written; kNone when it was.
enum class ZipError {
  kNone,
  kFileMissing,      // no such file, or a folder on its way is missing
  kNotRegularFile,   // a folder, a FIFO, a device
  kReadFailed,       // the file cannot be opened or read
  kArchiveTooLarge,  // the file, or its members' content together, is over kMaxArchiveContent
  kMemberTooLarge,   // a member declares more than kMaxMemberSize
  kOutOfMemory,
  kDamaged,            // headers, sizes, names or compressed data that cannot be read as they are
  kBadCrc,             // a member's data does not match its CRC-32
  kUnsupportedMethod,  // compressed otherwise than stored or deflated, or encrypted
  kDuplicateName,      // two members that are both one of the names that must be unique
  kNoMembers,          // an archive without a member
  kMemberRefused,      // the reader's onMember refused a member
  kDataSkipped,        // a write: the list was read without some member's data
  kChanged,            // a write: the file is no longer the one expected, and was left as it is
  kWriteFailed,        // a write: the new file could not be made, written or put in place
};

// An allocator that leaves the room a vector grows by uninitialised, where std::allocator would
// clear it: room for a member's data is written over at once by the read that fills it.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* place) noexcept(std::is_nothrow_default_constructible<U>::value) {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

// A member's uncompressed bytes.
using MemberBytes = std::vector<unsigned char, UninitialisedAllocator<unsigned char>>;

// A member's central-directory values.
struct zipEntryInfo {
  std::uint32_t versionMadeBy = 0;
  std::uint32_t versionNeeded = 0;
  // General purpose flags. Written back: bit 11 (the name is UTF-8) always, bits 1-2 (deflate
  // options) unless the data is deflated anew.
  std::uint32_t flags = 0;
  std::uint32_t compressionMethod = 0;
  std::uint32_t dosDate = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t internalAttributes = 0;
  std::uint32_t externalAttributes = 0;
  // The date broken down: second, minute, hour, day of month, month from 0, year.
  std::uint32_t second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
};

struct zipEntry {
  zipEntryInfo info;
  std::string name;  // byte for byte as stored
  std::string comment;
  std::vector<unsigned char> localExtra;
  std::vector<unsigned char> centralExtra;
  // Uncompressed. As read, with room for one byte more, so that a text can be terminated in
  // place.
  MemberBytes data;
  // The member's deflated bytes as read, written back as they are while data is unchanged;
  // empty for stored members and for data set since the read.
  std::vector<unsigned char> originalDeflate;
  // Set when data was given up because originalDeflate holds it (see releaseData).
  bool dataReleased = false;
  // Set when originalDeflate was deflated by a save (setEntryDeflated) rather than read.
  bool deflatedHere = false;
  // Set when the read left the member's bytes in the file, unread and unchecked: a list that
  // holds such a member is for looking up and is never written.
  bool dataSkipped = false;
};

struct zipEntryList {
  std::uint32_t entryCount = 0;
  std::string comment;
  std::vector<zipEntry> entries;  // in central-directory order

  // Refused: anything but a regular file, a member whose data does not match its CRC-32, a
  // name or comment holding a NUL byte (it could not be written back whole; kDamaged), an
  // archive without members, and two members that are both, without regard to ASCII case, one
  // of uniqueNames (a list closed by null).
  // With onMember, each member is handed to it as soon as it is read and checked, before it
  // joins the list and the next one is read; returning false fails the read. After it, the
  // member's data is released as by releaseData. With readDataOf (a list closed by null), only
  // the members named there (without regard to ASCII case) are read and checked; the others
  // are listed with dataSkipped.
  ZipError readArchive(const char* path, const char* const* uniqueNames = nullptr,
                       const std::function<bool(zipEntry&)>& onMember = nullptr,
                       const char* const* readDataOf = nullptr);
  // The first member whose name equals name without regard to ASCII case, or null.
  const zipEntry* findEntry(const char* name) const;
  zipEntry* findEntry(const char* name);
  // Inflates released data anew.
  bool findEntryData(const char* name, std::vector<unsigned char>* data) const;
  // Frees the uncompressed data of a member whose deflated bytes are kept as read (of others
  // it keeps it): they alone are written back, with the CRC-32 checked at the read. For parts
  // whose text lives on in a parsed document.
  static void releaseData(zipEntry* entry);
  void appendEntry(zipEntry entry);
  // Gives the named member a copy of the data; a name no member has gets a new deflated
  // member at the end. Data equal to what the member holds leaves it as it was read.
  void setEntryData(const char* name, const unsigned char* data, std::size_t length);
  // The same, taking the bytes over instead of copying them.
  void setEntryData(const char* name, MemberBytes&& data);
  // Gives the named member (made as by setEntryData when no member has the name) data that is
  // already deflated as a save deflates it, with its CRC-32 and size; the member is deflated
  // from then on.
  void setEntryDeflated(const char* name, std::vector<unsigned char>&& deflated, std::uint32_t crc,
                        std::uint32_t size);
  // With expected, the file is replaced only while it still has that identity. A list read
  // without some member's data is not written (kDataSkipped).
  ZipError writeArchive(const char* path, const platform::FileIdentity* expected = nullptr) const;

 private:
  zipEntry* findOrAddEntry(const char* name);
};
