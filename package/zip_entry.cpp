#include "package/zip_entry.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <ctime>
#include <memory>

#include "document/xml_node.h"
#include "platform/safe_file.h"

namespace {

struct UnzCloser {
  void operator()(void* file) const { unzClose(file); }
};
using UnzHandle = std::unique_ptr<void, UnzCloser>;

// The open member's bytes, exactly declared of them. The declared size is not trusted for
// allocation: the data grows only as bytes really arrive, never past the declared size.
bool readCurrentData(unzFile file, size_t declared, std::vector<unsigned char>* data) {
  const size_t chunk = 1 << 16;
  data->clear();
  for (;;) {
    size_t have = data->size();
    size_t want = std::min(chunk, declared - have);
    if (want == 0) break;
    data->resize(have + want);
    int n = unzReadCurrentFile(file, data->data() + have, static_cast<unsigned>(want));
    if (n <= 0) return false;
    data->resize(have + static_cast<size_t>(n));
  }
  unsigned char probe;
  return unzReadCurrentFile(file, &probe, 1) == 0;
}

bool readMember(unzFile file, zipEntry* entry, std::uint64_t* total) {
  unz_file_info info;
  if (unzGetCurrentFileInfo(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return false;
  if (info.uncompressed_size > kMaxMemberSize) return false;
  *total += info.uncompressed_size;
  if (*total > kMaxArchiveContent) return false;
  std::vector<char> name(info.size_filename + 1), comment(info.size_file_comment + 1);
  entry->centralExtra.resize(info.size_file_extra);
  if (unzGetCurrentFileInfo(file, &info, name.data(), info.size_filename + 1,
                            entry->centralExtra.empty() ? nullptr : entry->centralExtra.data(),
                            info.size_file_extra, comment.data(),
                            info.size_file_comment + 1) != UNZ_OK)
    return false;
  entry->name.assign(name.data(), info.size_filename);
  entry->comment.assign(comment.data(), info.size_file_comment);
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
  if (kept.compressionMethod != 0 && kept.compressionMethod != Z_DEFLATED) return false;
  // Encrypted data cannot be read, nor written back as it was.
  if (kept.flags & 1) return false;

  if (unzOpenCurrentFile(file) != UNZ_OK) return false;
  bool ok = true;
  int localLength = unzGetLocalExtrafield(file, nullptr, 0);
  if (localLength < 0) {
    ok = false;
  } else if (localLength > 0) {
    entry->localExtra.resize(static_cast<size_t>(localLength));
    ok = unzGetLocalExtrafield(file, entry->localExtra.data(),
                               static_cast<unsigned>(localLength)) == localLength;
  }
  ok = ok && readCurrentData(file, kept.uncompressedSize, &entry->data);
  // A wrong CRC-32 is reported here and accepted, as the host does.
  unzCloseCurrentFile(file);
  if (!ok || kept.compressionMethod != Z_DEFLATED) return ok;
  // The deflated bytes too, so that a member nobody changes is not compressed again. Without
  // them the member is simply deflated anew on a save.
  if (unzOpenCurrentFile2(file, nullptr, nullptr, 1) == UNZ_OK) {
    if (!readCurrentData(file, kept.compressedSize, &entry->originalDeflate))
      entry->originalDeflate.clear();
    unzCloseCurrentFile(file);
  }
  return true;
}

// Raw deflate at level 9, as minizip itself writes: window bits -15, memory level 8.
bool deflateRaw(const std::vector<unsigned char>& data, std::vector<unsigned char>* out) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out->data();
  stream.avail_out = static_cast<uInt>(out->size());
  int result = deflate(&stream, Z_FINISH);
  out->resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

}  // namespace

bool zipEntryList::readArchive(const char* path) {
  UnzHandle file(unzOpen(path));
  if (!file) return false;
  unz_global_info global;
  if (unzGetGlobalInfo(file.get(), &global) != UNZ_OK) return false;
  number_entry = static_cast<std::uint32_t>(global.number_entry);
  if (global.size_comment > 0) {
    std::vector<char> buffer(global.size_comment + 1);
    int got = unzGetGlobalComment(file.get(), buffer.data(), global.size_comment + 1);
    if (got < 0) return false;
    comment.assign(buffer.data(), static_cast<size_t>(got));
  }
  if (unzGoToFirstFile(file.get()) != UNZ_OK) return false;
  std::uint64_t total = 0;
  for (;;) {
    zipEntry entry;
    if (!readMember(file.get(), &entry, &total)) return false;
    entries.push_back(std::move(entry));
    int next = unzGoToNextFile(file.get());
    if (next == UNZ_END_OF_LIST_OF_FILE) return true;
    if (next != UNZ_OK) return false;
  }
}

const zipEntry* zipEntryList::findEntry(const char* name) const {
  for (const zipEntry& entry : entries)
    if (equalsIgnoreCase(entry.name.c_str(), name)) return &entry;
  return nullptr;
}

zipEntry* zipEntryList::findEntry(const char* name) {
  return const_cast<zipEntry*>(static_cast<const zipEntryList*>(this)->findEntry(name));
}

bool zipEntryList::findEntryData(const char* name, std::vector<unsigned char>* data) const {
  const zipEntry* entry = findEntry(name);
  if (!entry) return false;
  *data = entry->data;
  return true;
}

void zipEntryList::appendEntry(zipEntry entry) {
  entries.push_back(std::move(entry));
}

void zipEntryList::setEntryData(const char* name, const unsigned char* data, std::size_t length) {
  zipEntry* entry = findEntry(name);
  if (!entry) {
    zipEntry added;
    added.name = name;
    added.info.compressionMethod = Z_DEFLATED;
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    added.info.second = local.tm_sec;
    added.info.minute = local.tm_min;
    added.info.hour = local.tm_hour;
    added.info.day = local.tm_mday;
    added.info.month = local.tm_mon;
    added.info.year = local.tm_year + 1900;
    appendEntry(std::move(added));
    entry = &entries.back();
  }
  if (entry->data.size() == length && std::equal(data, data + length, entry->data.begin())) return;
  entry->data.assign(data, data + length);
  entry->originalDeflate.clear();
  entry->info.uncompressedSize = static_cast<std::uint32_t>(length);
}

bool zipEntryList::writeArchive(const char* path) const {
  platform::ReplacementFile replacement(path);
  if (!replacement.open() || !replacement.closeStream()) return false;
  zipFile file = zipOpen(replacement.newPath().c_str(), APPEND_STATUS_CREATE);
  if (!file) return false;
  bool ok = true;
  for (const zipEntry& entry : entries) {
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
    // The data goes in raw, deflated here: minizip's own deflate would overwrite the
    // member's internal attributes whenever zlib guesses the data is text.
    bool stored = entry.info.compressionMethod == 0;
    bool asRead = !stored && !entry.originalDeflate.empty();
    std::vector<unsigned char> deflated;
    if (!stored && !asRead && !deflateRaw(entry.data, &deflated)) {
      ok = false;
      break;
    }
    const std::vector<unsigned char>& raw = stored   ? entry.data
                                            : asRead ? entry.originalDeflate
                                                     : deflated;
    auto bytes = [](const std::vector<unsigned char>& v) {
      return v.empty() ? nullptr : static_cast<const void*>(v.data());
    };
    if (zipOpenNewFileInZip2(file, entry.name.c_str(), &info, bytes(entry.localExtra),
                             static_cast<uInt>(entry.localExtra.size()), bytes(entry.centralExtra),
                             static_cast<uInt>(entry.centralExtra.size()),
                             entry.comment.empty() ? nullptr : entry.comment.c_str(),
                             stored ? 0 : Z_DEFLATED, stored ? 0 : 9, 1) != ZIP_OK) {
      ok = false;
      break;
    }
    bool written = raw.empty() || zipWriteInFileInZip(file, raw.data(),
                                                      static_cast<unsigned>(raw.size())) == ZIP_OK;
    uLong crc = crc32(0L, Z_NULL, 0);
    if (!entry.data.empty())
      crc = crc32(crc, entry.data.data(), static_cast<uInt>(entry.data.size()));
    if (zipCloseFileInZipRaw(file, static_cast<uLong>(entry.data.size()), crc) != ZIP_OK ||
        !written) {
      ok = false;
      break;
    }
  }
  if (zipClose(file, comment.empty() ? nullptr : comment.c_str()) != ZIP_OK) ok = false;
  return ok && replacement.commit();
}
