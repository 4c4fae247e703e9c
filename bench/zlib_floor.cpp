#include "bench/zlib_floor.h"

#include <zlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/file_read.h"

namespace {

std::uint32_t get16(const unsigned char* p) {
  return p[0] | (p[1] << 8);
}
std::uint32_t get32(const unsigned char* p) {
  return get16(p) | (static_cast<std::uint32_t>(get16(p + 2)) << 16);
}

bool deflateRaw(const std::vector<unsigned char>& in, std::vector<unsigned char>* out) {
  z_stream s{};
  if (deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(deflateBound(&s, static_cast<uLong>(in.size())));
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out->data();
  s.avail_out = static_cast<uInt>(out->size());
  int result = deflate(&s, Z_FINISH);
  deflateEnd(&s);
  return result == Z_STREAM_END;
}

}  // namespace

bool inflateRawMember(const unsigned char* in, std::size_t size, std::vector<unsigned char>* out) {
  z_stream s{};
  if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return false;
  s.next_in = const_cast<Bytef*>(in);
  s.avail_in = static_cast<uInt>(size);
  s.next_out = out->data();
  s.avail_out = static_cast<uInt>(out->size());
  int result = inflate(&s, Z_FINISH);
  inflateEnd(&s);
  return result == Z_STREAM_END && s.avail_out == 0;
}

FloorRun measureZlibFloor(const std::string& packagePath) {
  FloorRun floor;
  auto start = std::chrono::steady_clock::now();
  std::string file;
  if (platform::readRegularFile(packagePath, platform::kNoSizeLimit, &file) !=
      platform::FileReadResult::kRead)
    return floor;
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  const std::size_t total = file.size();
  if (total < 22) return floor;
  // The end of the central directory, then every member through its central header.
  std::size_t end = total - 22;
  while (end > 0 && get32(bytes + end) != 0x06054B50) --end;
  if (get32(bytes + end) != 0x06054B50) return floor;
  std::size_t count = get16(bytes + end + 10);
  std::size_t at = get32(bytes + end + 16);
  std::vector<unsigned char> data, packed;
  for (std::size_t i = 0; i < count; ++i) {
    if (at + 46 > total || get32(bytes + at) != 0x02014B50) return floor;
    const unsigned char* c = bytes + at;
    std::uint32_t method = get16(c + 10), compressed = get32(c + 20), size = get32(c + 24);
    std::size_t local = get32(c + 42);
    at += 46 + get16(c + 28) + get16(c + 30) + get16(c + 32);
    if (local + 30 > total) return floor;
    std::size_t dataAt = local + 30 + get16(bytes + local + 26) + get16(bytes + local + 28);
    if (dataAt + compressed > total) return floor;
    data.resize(size);
    if (method == 8) {
      if (!inflateRawMember(bytes + dataAt, compressed, &data) || !deflateRaw(data, &packed))
        return floor;
    } else {
      data.assign(bytes + dataAt, bytes + dataAt + compressed);
    }
    crc32(0, data.data(), static_cast<uInt>(data.size()));
    floor.uncompressedBytes += size;
    ++floor.members;
  }
  floor.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  floor.ok = true;
  return floor;
}
