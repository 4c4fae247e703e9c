#include "package/zip_entry.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <memory>

#include "document/xml_heap_tuning.h"
#include "package/member_deflater.h"
#include "platform/ascii_text.h"
#include "platform/file_read.h"
#include "platform/safe_file.h"

namespace {

struct UnzCloser {
  void operator()(void* file) const { unzClose(file); }
};
using UnzHandle = std::unique_ptr<void, UnzCloser>;

// Closing without the archive comment: for archives that failed half-way.
struct ZipCloser {
  void operator()(void* file) const { zipClose(file, nullptr); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

// General purpose flags: the name and comment are UTF-8; the deflate options.
constexpr std::uint32_t kUtf8Flag = 1u << 11;
constexpr std::uint32_t kDeflateOptionFlags = 6;

// An archive in memory, as minizip's file functions see it: a read-only view of the bytes
// read, or a growing buffer for the archive being built. The functions below never throw:
// they are called from C.
struct MemoryFile {
  const unsigned char* bytes = nullptr;  // reading
  std::uint64_t size = 0;
  std::vector<unsigned char>* out = nullptr;  // writing
  std::uint64_t position = 0;
  ZipError failure = ZipError::kNone;  // of a write
};

voidpf ZCALLBACK memoryOpen(voidpf opaque, const void*, int) {
  static_cast<MemoryFile*>(opaque)->position = 0;
  return opaque;
}

uLong ZCALLBACK memoryRead(voidpf, voidpf stream, void* buffer, uLong size) {
  MemoryFile* file = static_cast<MemoryFile*>(stream);
  if (file->position >= file->size) return 0;
  std::uint64_t n = std::min<std::uint64_t>(size, file->size - file->position);
  std::memcpy(buffer, file->bytes + file->position, static_cast<size_t>(n));
  file->position += n;
  return static_cast<uLong>(n);
}

// Writes at the position, over what is there and past the end; minizip goes back to fill in
// each local header once its member is written.
uLong ZCALLBACK memoryWrite(voidpf, voidpf stream, const void* buffer, uLong size) {
  MemoryFile* file = static_cast<MemoryFile*>(stream);
  if (file->failure != ZipError::kNone || !file->out) return 0;
  std::vector<unsigned char>& out = *file->out;
  // No archive is built that would be too large to read back.
  std::uint64_t end = file->position + size;
  if (end > kMaxArchiveContent) {
    file->failure = ZipError::kArchiveTooLarge;
    return 0;
  }
  try {
    if (end > out.size()) out.resize(static_cast<size_t>(end));
  } catch (const std::exception&) {
    file->failure = ZipError::kOutOfMemory;
    return 0;
  }
  if (size) std::memcpy(out.data() + file->position, buffer, size);
  file->position = end;
  return size;
}

ZPOS64_T ZCALLBACK memoryTell(voidpf, voidpf stream) {
  return static_cast<MemoryFile*>(stream)->position;
}

// Offsets wrap as in two's complement: minizip steps back with SEEK_CUR and an offset that is
// negative cast to unsigned. No position past the end: nothing minizip does needs one.
long ZCALLBACK memorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  MemoryFile* file = static_cast<MemoryFile*>(stream);
  std::uint64_t size = file->out ? file->out->size() : file->size;
  std::uint64_t target = offset;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    target += file->position;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    target += size;
  } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
    return -1;
  }
  if (target > size) return -1;
  file->position = target;
  return 0;
}

int ZCALLBACK memoryClose(voidpf, voidpf) {
  return 0;
}

int ZCALLBACK memoryError(voidpf, voidpf stream) {
  return static_cast<MemoryFile*>(stream)->failure != ZipError::kNone ? 1 : 0;
}

zlib_filefunc64_def memoryFunctions(MemoryFile* file) {
  zlib_filefunc64_def functions;
  functions.zopen64_file = memoryOpen;
  functions.zread_file = memoryRead;
  functions.zwrite_file = memoryWrite;
  functions.ztell64_file = memoryTell;
  functions.zseek64_file = memorySeek;
  functions.zclose_file = memoryClose;
  functions.zerror_file = memoryError;
  functions.opaque = file;
  return functions;
}

// Deflate turns no more than about 1032 bytes into one; with the headers' room, the most that
// compressed bytes can give.
std::uint64_t mostInflatedFrom(std::uint64_t compressed) {
  return compressed * 1032 + 64;
}

// The room of the largest member data a read gave up, for the next member of about its size.
// Where the heap gives large blocks back to the system when they are freed, it is kept for
// the next package the run reads too, whose members would otherwise have every page faulted
// in again; a heap that keeps them itself serves the merge and save in between with it.
// Larger room is not kept.
constexpr std::size_t kLargestSpareRoom = std::size_t{32} << 20;
MemberBytes spareRoom;

// Whether releaseData gives up the member's data: its deflated bytes are kept as read.
bool releasable(const zipEntry& entry) {
  return entry.info.compressionMethod == Z_DEFLATED && !entry.originalDeflate.empty() &&
         !entry.dataReleased;
}

// What a failed minizip call on an archive in memory means: zlib or minizip found no memory,
// the data did not match its CRC-32, or else the archive is not as its headers say.
ZipError unzipFailure(int code) {
  switch (code) {
    case Z_MEM_ERROR:
    case UNZ_INTERNALERROR:
      return ZipError::kOutOfMemory;
    case UNZ_CRCERROR:
      return ZipError::kBadCrc;
    default:
      return ZipError::kDamaged;
  }
}

// The open member's bytes, exactly declared of them. The declared size is trusted for
// allocation only as far as the compressed bytes, which are in memory, can really give it, so
// that a false size cannot make the program reserve memory for nothing. The room in spare is
// taken when it fits without wasting more than the member needs.
ZipError readCurrentData(unzFile file, size_t declared, std::uint64_t reachable, MemberBytes* data,
                         MemberBytes* spare) {
  const size_t chunk = 1 << 16;
  const size_t room = static_cast<size_t>(std::min<std::uint64_t>(declared, reachable)) + 1;
  if (spare && spare->capacity() >= room && spare->capacity() / 2 <= room) data->swap(*spare);
  data->clear();
  data->reserve(room);
  for (;;) {
    size_t have = data->size();
    size_t want = std::min(std::max(chunk, data->capacity() - have), declared - have);
    if (want == 0) break;
    data->resize(have + want);
    int n = unzReadCurrentFile(file, data->data() + have, static_cast<unsigned>(want));
    if (n < 0) return unzipFailure(n);
    if (n == 0) return ZipError::kDamaged;  // fewer bytes than declared
    data->resize(have + static_cast<size_t>(n));
  }
  unsigned char probe;
  const int more = unzReadCurrentFile(file, &probe, 1);
  return more == 0 ? ZipError::kNone : more < 0 ? unzipFailure(more) : ZipError::kDamaged;
}

bool namedIn(const char* const* names, const std::string& name) {
  for (const char* const* row = names; *row; ++row)
    if (platform::equalsIgnoringAsciiCase(*row, name)) return true;
  return false;
}

ZipError readMember(unzFile file, const MemoryFile& archive, zipEntry* entry, std::uint64_t* total,
                    MemberBytes* spare, const char* const* readDataOf) {
  unz_file_info info;
  if (unzGetCurrentFileInfo(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return ZipError::kDamaged;
  if (info.uncompressed_size > kMaxMemberSize) return ZipError::kMemberTooLarge;
  *total += info.uncompressed_size;
  if (*total > kMaxArchiveContent) return ZipError::kArchiveTooLarge;
  std::vector<char> name(info.size_filename + 1), comment(info.size_file_comment + 1);
  entry->centralExtra.resize(info.size_file_extra);
  if (unzGetCurrentFileInfo(file, &info, name.data(), info.size_filename + 1,
                            entry->centralExtra.empty() ? nullptr : entry->centralExtra.data(),
                            info.size_file_extra, comment.data(),
                            info.size_file_comment + 1) != UNZ_OK)
    return ZipError::kDamaged;
  entry->name.assign(name.data(), info.size_filename);
  entry->comment.assign(comment.data(), info.size_file_comment);
  // minizip's writer takes both as C strings: a NUL would cut them short.
  if (entry->name.find('\0') != std::string::npos || entry->comment.find('\0') != std::string::npos)
    return ZipError::kDamaged;
  zipEntryInfo& kept = entry->info;
  kept.versionMadeBy = static_cast<std::uint32_t>(info.version);
  kept.versionNeeded = static_cast<std::uint32_t>(info.version_needed);
  kept.flags = static_cast<std::uint32_t>(info.flag);
  kept.compressionMethod = static_cast<std::uint32_t>(info.compression_method);
  kept.dosDate = static_cast<std::uint32_t>(info.dosDate);
  kept.crc = static_cast<std::uint32_t>(info.crc);
  kept.compressedSize = static_cast<std::uint32_t>(info.compressed_size);
  kept.uncompressedSize = static_cast<std::uint32_t>(info.uncompressed_size);
  kept.internalAttributes = static_cast<std::uint32_t>(info.internal_fa);
  kept.externalAttributes = static_cast<std::uint32_t>(info.external_fa);
  kept.second = info.tmu_date.tm_sec;
  kept.minute = info.tmu_date.tm_min;
  kept.hour = info.tmu_date.tm_hour;
  kept.day = info.tmu_date.tm_mday;
  kept.month = info.tmu_date.tm_mon;
  kept.year = info.tmu_date.tm_year;
  if (kept.compressionMethod != 0 && kept.compressionMethod != Z_DEFLATED)
    return ZipError::kUnsupportedMethod;
  // Encrypted data cannot be read, nor written back as it was.
  if (kept.flags & 1) return ZipError::kUnsupportedMethod;
  if (readDataOf && !namedIn(readDataOf, entry->name)) {
    entry->dataSkipped = true;
    return ZipError::kNone;
  }

  const int opened = unzOpenCurrentFile(file);
  if (opened != UNZ_OK) return unzipFailure(opened);
  // Where the member's compressed bytes start; nothing of them is read yet.
  const std::uint64_t dataAt = unzGetCurrentFileZStreamPos64(file);
  const std::uint64_t compressedEnd = dataAt + kept.compressedSize;
  const bool inArchive = dataAt <= archive.size && compressedEnd <= archive.size;
  ZipError error = ZipError::kNone;
  int localLength = unzGetLocalExtrafield(file, nullptr, 0);
  if (localLength < 0) {
    error = ZipError::kDamaged;
  } else if (localLength > 0) {
    entry->localExtra.resize(static_cast<size_t>(localLength));
    if (unzGetLocalExtrafield(file, entry->localExtra.data(), static_cast<unsigned>(localLength)) !=
        localLength)
      error = ZipError::kDamaged;
  }
  const std::uint64_t reachable =
      kept.compressionMethod == Z_DEFLATED
          ? mostInflatedFrom(inArchive ? kept.compressedSize : archive.size)
          : std::min<std::uint64_t>(kept.compressedSize, archive.size);
  if (error == ZipError::kNone)
    error = readCurrentData(file, kept.uncompressedSize, reachable, &entry->data, spare);
  // Reports a wrong CRC-32 once the whole data was read: written back with a fresh CRC the
  // damage would be hidden.
  const int closed = unzCloseCurrentFile(file);
  if (error == ZipError::kNone && closed != UNZ_OK) error = unzipFailure(closed);
  if (error != ZipError::kNone || kept.compressionMethod != Z_DEFLATED) return error;
  // The deflated bytes too, so that a member nobody changes is not compressed again. Without
  // them the member is simply deflated anew on a save.
  if (inArchive)
    entry->originalDeflate.assign(archive.bytes + dataAt, archive.bytes + compressedEnd);
  return ZipError::kNone;
}

ZipError deflateRaw(const MemberBytes& data, std::vector<unsigned char>* out) {
  if (data.size() > kMaxMemberSize) return ZipError::kMemberTooLarge;
  MemberDeflater deflater;
  if (!deflater.add(data.data(), data.size(), kMaxMemberSize) || !deflater.finish())
    return ZipError::kOutOfMemory;
  out->swap(deflater.output());
  return ZipError::kNone;
}

// Whether the bytes are an end record alone, saying that the archive holds no member: minizip
// takes such a record at the very start of a file for none at all.
bool isEmptyArchive(const std::string& bytes) {
  static const char kEmpty[12] = {'P', 'K', 5, 6};  // one disk, no entries
  return bytes.size() >= 22 && bytes.compare(0, sizeof kEmpty, kEmpty, sizeof kEmpty) == 0 &&
         bytes.size() == 22 + (static_cast<unsigned char>(bytes[20]) |
                               static_cast<unsigned>(static_cast<unsigned char>(bytes[21])) << 8);
}

// Every member of the archive in bytes, appended to the list.
ZipError readEveryEntry(const std::string& bytes, zipEntryList* list,
                        const std::function<bool(zipEntry&)>& onMember,
                        const char* const* readDataOf) {
  MemoryFile memory;
  memory.bytes = reinterpret_cast<const unsigned char*>(bytes.data());
  memory.size = bytes.size();
  zlib_filefunc64_def functions = memoryFunctions(&memory);
  // No archive's end record where it must be (minizip's one allocation here is small).
  UnzHandle file(unzOpen2_64(nullptr, &functions));
  if (!file) return isEmptyArchive(bytes) ? ZipError::kNoMembers : ZipError::kDamaged;
  unz_global_info global;
  if (unzGetGlobalInfo(file.get(), &global) != UNZ_OK) return ZipError::kDamaged;
  list->entryCount = static_cast<std::uint32_t>(global.number_entry);
  if (global.size_comment > 0) {
    std::vector<char> buffer(global.size_comment + 1);
    int got = unzGetGlobalComment(file.get(), buffer.data(), global.size_comment + 1);
    if (got < 0) return ZipError::kDamaged;
    list->comment.assign(buffer.data(), static_cast<size_t>(got));
    if (list->comment.find('\0') != std::string::npos) return ZipError::kDamaged;
  }
  if (global.number_entry == 0) return ZipError::kNoMembers;
  if (unzGoToFirstFile(file.get()) != UNZ_OK) return ZipError::kDamaged;
  std::uint64_t total = 0;
  for (;;) {
    zipEntry entry;
    const ZipError read = readMember(file.get(), memory, &entry, &total, &spareRoom, readDataOf);
    if (read != ZipError::kNone) return read;
    if (onMember) {
      if (!onMember(entry)) return ZipError::kMemberRefused;
      if (releasable(entry) && entry.data.capacity() > spareRoom.capacity() &&
          entry.data.capacity() <= kLargestSpareRoom)
        spareRoom.swap(entry.data);
      zipEntryList::releaseData(&entry);
    }
    list->entries.push_back(std::move(entry));
    int next = unzGoToNextFile(file.get());
    if (next == UNZ_END_OF_LIST_OF_FILE) return ZipError::kNone;
    if (next != UNZ_OK) return ZipError::kDamaged;
  }
}

ZipError readEntries(const std::string& bytes, zipEntryList* list,
                     const std::function<bool(zipEntry&)>& onMember,
                     const char* const* readDataOf) {
  const ZipError read = readEveryEntry(bytes, list, onMember, readDataOf);
  if (heapKeepsFreedBlocks()) MemberBytes().swap(spareRoom);
  return read;
}

// Whether two members are both the named one.
bool hasTwins(const zipEntryList& list, const char* name) {
  return std::count_if(list.entries.begin(), list.entries.end(), [name](const zipEntry& e) {
           return platform::equalsIgnoringAsciiCase(e.name, name);
         }) > 1;
}

bool inflateRaw(const std::vector<unsigned char>& raw, std::size_t size,
                std::vector<unsigned char>* out) {
  struct Inflater {
    z_stream stream{};
    bool open = false;
    ~Inflater() {
      if (open) inflateEnd(&stream);
    }
  } inflater;
  z_stream& stream = inflater.stream;
  inflater.open = inflateInit2(&stream, -MAX_WBITS) == Z_OK;
  if (!inflater.open) return false;
  out->resize(size);
  stream.next_in = const_cast<Bytef*>(raw.data());
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out->data();
  stream.avail_out = static_cast<uInt>(out->size());
  if (inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0) return true;
  out->clear();
  return false;
}

// Whether the member holds exactly these bytes. Released data is inflated again only when its
// size and CRC-32 match, which new text seldom does unless it is the same.
bool holdsData(const zipEntry& entry, const unsigned char* data, std::size_t length) {
  if (!entry.dataReleased)
    return entry.data.size() == length && std::equal(data, data + length, entry.data.begin());
  if (entry.info.uncompressedSize != length ||
      crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(length)) != entry.info.crc)
    return false;
  std::vector<unsigned char> held;
  return inflateRaw(entry.originalDeflate, length, &held) &&
         std::equal(data, data + length, held.begin());
}

// Why the file could not be read, as an archive's reason.
ZipError fileFailure(platform::FileReadResult read) {
  switch (read) {
    case platform::FileReadResult::kMissing:
      return ZipError::kFileMissing;
    case platform::FileReadResult::kNotRegular:
      return ZipError::kNotRegularFile;
    case platform::FileReadResult::kTooLarge:
      return ZipError::kArchiveTooLarge;
    case platform::FileReadResult::kNoMemory:
      return ZipError::kOutOfMemory;
    case platform::FileReadResult::kRead:
    case platform::FileReadResult::kFailed:
      break;
  }
  return ZipError::kReadFailed;
}

}  // namespace

ZipError zipEntryList::readArchive(const char* path, const char* const* uniqueNames,
                                   const std::function<bool(zipEntry&)>& onMember,
                                   const char* const* readDataOf) {
  ZipError error = ZipError::kReadFailed;
  try {
    std::string bytes;
    if (path) {
      const platform::FileReadResult read =
          platform::readRegularFile(path, kMaxArchiveContent, &bytes);
      error = read == platform::FileReadResult::kRead
                  ? readEntries(bytes, this, onMember, readDataOf)
                  : fileFailure(read);
    }
    for (const char* const* name = uniqueNames; error == ZipError::kNone && name && *name; ++name)
      if (hasTwins(*this, *name)) error = ZipError::kDuplicateName;
  } catch (const std::exception&) {  // memory ran out
    error = ZipError::kOutOfMemory;
  }
  if (error != ZipError::kNone) {
    std::vector<zipEntry>().swap(entries);
    comment.clear();
    entryCount = 0;
  }
  return error;
}

const zipEntry* zipEntryList::findEntry(const char* name) const {
  if (!name) return nullptr;
  for (const zipEntry& entry : entries)
    if (platform::equalsIgnoringAsciiCase(entry.name, name)) return &entry;
  return nullptr;
}

zipEntry* zipEntryList::findEntry(const char* name) {
  return const_cast<zipEntry*>(static_cast<const zipEntryList*>(this)->findEntry(name));
}

bool zipEntryList::findEntryData(const char* name, std::vector<unsigned char>* data) const {
  const zipEntry* entry = findEntry(name);
  if (!entry) return false;
  if (!entry->dataReleased) {
    data->assign(entry->data.begin(), entry->data.end());
    return true;
  }
  return inflateRaw(entry->originalDeflate, entry->info.uncompressedSize, data);
}

void zipEntryList::releaseData(zipEntry* entry) {
  if (!entry || !releasable(*entry)) return;
  MemberBytes().swap(entry->data);
  entry->dataReleased = true;
}

void zipEntryList::appendEntry(zipEntry entry) {
  entries.push_back(std::move(entry));
}

zipEntry* zipEntryList::findOrAddEntry(const char* name) {
  if (zipEntry* entry = findEntry(name)) return entry;
  zipEntry added;
  added.name = name;
  added.info.compressionMethod = Z_DEFLATED;
  // Now, in local time as ZIP tools show it; without a local time, UTC; without either,
  // the first date a ZIP archive can hold.
  std::time_t now = std::time(nullptr);
  std::tm date{};
  date.tm_mday = 1;
  date.tm_year = 80;
  if (const std::tm* local = std::localtime(&now)) {
    date = *local;
  } else if (const std::tm* utc = std::gmtime(&now)) {
    date = *utc;
  }
  added.info.second = static_cast<std::uint32_t>(date.tm_sec);
  added.info.minute = static_cast<std::uint32_t>(date.tm_min);
  added.info.hour = static_cast<std::uint32_t>(date.tm_hour);
  added.info.day = static_cast<std::uint32_t>(date.tm_mday);
  added.info.month = static_cast<std::uint32_t>(date.tm_mon);
  added.info.year = static_cast<std::uint32_t>(date.tm_year + 1900);
  appendEntry(std::move(added));
  return &entries.back();
}

namespace {

// The member's data from now on, to be deflated anew by the next write.
void replaceData(zipEntry* entry, MemberBytes&& data) {
  entry->data = std::move(data);
  entry->dataReleased = false;
  entry->deflatedHere = false;
  entry->originalDeflate.clear();
  entry->info.uncompressedSize = static_cast<std::uint32_t>(entry->data.size());
}

}  // namespace

void zipEntryList::setEntryData(const char* name, const unsigned char* data, std::size_t length) {
  zipEntry* entry = findOrAddEntry(name);
  if (!holdsData(*entry, data, length)) replaceData(entry, MemberBytes(data, data + length));
}

void zipEntryList::setEntryData(const char* name, MemberBytes&& data) {
  zipEntry* entry = findOrAddEntry(name);
  if (!holdsData(*entry, data.data(), data.size())) replaceData(entry, std::move(data));
}

void zipEntryList::setEntryDeflated(const char* name, std::vector<unsigned char>&& deflated,
                                    std::uint32_t crc, std::uint32_t size) {
  zipEntry* entry = findOrAddEntry(name);
  MemberBytes().swap(entry->data);
  entry->originalDeflate = std::move(deflated);
  entry->dataReleased = true;
  entry->deflatedHere = true;
  entry->info.compressionMethod = Z_DEFLATED;
  entry->info.crc = crc;
  entry->info.uncompressedSize = size;
}

namespace {

// Adds one member to the archive being built: its data deflated here, or as it was read. In
// memory only room can fail: kOutOfMemory for whatever minizip could not do.
ZipError writeMember(zipFile file, const zipEntry& entry) {
  zip_fileinfo info{};
  info.tmz_date.tm_sec = entry.info.second;
  info.tmz_date.tm_min = entry.info.minute;
  info.tmz_date.tm_hour = entry.info.hour;
  info.tmz_date.tm_mday = entry.info.day;
  info.tmz_date.tm_mon = entry.info.month;
  info.tmz_date.tm_year = entry.info.year;
  info.dosDate = entry.info.dosDate;
  info.internal_fa = entry.info.internalAttributes;
  info.external_fa = entry.info.externalAttributes;
  // The data goes in raw, deflated here: minizip's own deflate would overwrite the member's
  // internal attributes whenever zlib guesses the data is text.
  bool stored = entry.info.compressionMethod == 0;
  // Deflated bytes are written as they are, whether read so or deflated by a save.
  bool kept = !stored && !entry.originalDeflate.empty();
  bool asRead = kept && !entry.deflatedHere;
  std::vector<unsigned char> deflated;
  const unsigned char* raw = entry.data.data();
  std::size_t rawSize = entry.data.size();
  if (kept) {
    raw = entry.originalDeflate.data();
    rawSize = entry.originalDeflate.size();
  } else if (!stored) {
    const ZipError deflatedHere = deflateRaw(entry.data, &deflated);
    if (deflatedHere != ZipError::kNone) return deflatedHere;
    raw = deflated.data();
    rawSize = deflated.size();
  }
  // Level 9 makes minizip mark the deflate options "maximum", true of data deflated here;
  // bytes written as they were read keep their marks, and no level adds any.
  uLong flags = entry.info.flags & kUtf8Flag;
  if (stored || asRead) flags |= entry.info.flags & kDeflateOptionFlags;
  int level = stored || asRead ? Z_DEFAULT_COMPRESSION : 9;
  auto bytes = [](const std::vector<unsigned char>& v) {
    return v.empty() ? nullptr : static_cast<const void*>(v.data());
  };
  if (zipOpenNewFileInZip4(file, entry.name.c_str(), &info, bytes(entry.localExtra),
                           static_cast<uInt>(entry.localExtra.size()), bytes(entry.centralExtra),
                           static_cast<uInt>(entry.centralExtra.size()),
                           entry.comment.empty() ? nullptr : entry.comment.c_str(),
                           stored ? 0 : Z_DEFLATED, level, 1, -MAX_WBITS, DEF_MEM_LEVEL,
                           Z_DEFAULT_STRATEGY, nullptr, 0, entry.info.versionMadeBy & 0xFFFF,
                           flags) != ZIP_OK)
    return ZipError::kOutOfMemory;
  bool written =
      rawSize == 0 || zipWriteInFileInZip(file, raw, static_cast<unsigned>(rawSize)) == ZIP_OK;
  // Kept deflated bytes come with their CRC-32: the one the read checked them against, or the
  // one taken while deflating them.
  uLong crc = crc32(0L, Z_NULL, 0);
  if (kept)
    crc = entry.info.crc;
  else if (!entry.data.empty())
    crc = crc32(crc, entry.data.data(), static_cast<uInt>(entry.data.size()));
  uLong size = kept ? entry.info.uncompressedSize : static_cast<uLong>(entry.data.size());
  return zipCloseFileInZipRaw(file, size, crc) == ZIP_OK && written ? ZipError::kNone
                                                                    : ZipError::kOutOfMemory;
}

ZipError buildArchive(const zipEntryList& list, std::vector<unsigned char>* archive) {
  // Room for every member as it will most likely be written, so that the buffer seldom grows.
  std::uint64_t expected = 22 + list.comment.size();
  for (const zipEntry& entry : list.entries) {
    const std::size_t raw =
        entry.originalDeflate.empty() ? entry.data.size() : entry.originalDeflate.size();
    expected += 76 + 2 * entry.name.size() + entry.localExtra.size() + entry.centralExtra.size() +
                entry.comment.size() + raw + raw / 64;
  }
  archive->reserve(static_cast<size_t>(std::min(expected, kMaxArchiveContent)));
  MemoryFile memory;
  memory.out = archive;
  zlib_filefunc64_def functions = memoryFunctions(&memory);
  ZipHandle file(zipOpen2_64(nullptr, APPEND_STATUS_CREATE, nullptr, &functions));
  ZipError error = file ? ZipError::kNone : ZipError::kOutOfMemory;
  for (auto entry = list.entries.begin(); error == ZipError::kNone && entry != list.entries.end();
       ++entry)
    error = writeMember(file.get(), *entry);
  if (error == ZipError::kNone &&
      zipClose(file.release(), list.comment.empty() ? nullptr : list.comment.c_str()) != ZIP_OK)
    error = ZipError::kOutOfMemory;
  // A write the buffer refused says why itself.
  return memory.failure != ZipError::kNone ? memory.failure : error;
}

}  // namespace

ZipError zipEntryList::writeArchive(const char* path,
                                    const platform::FileIdentity* expected) const {
  for (const zipEntry& entry : entries)
    if (entry.dataSkipped) return ZipError::kDataSkipped;
  if (!path) return ZipError::kWriteFailed;
  try {
    std::vector<unsigned char> archive;
    const ZipError built = buildArchive(*this, &archive);
    if (built != ZipError::kNone) return built;
    bool changed = false;
    if (platform::replaceFileContents(path, archive.data(), archive.size(), expected, &changed))
      return ZipError::kNone;
    return changed ? ZipError::kChanged : ZipError::kWriteFailed;
  } catch (const std::exception&) {  // memory ran out
    return ZipError::kOutOfMemory;
  }
}
