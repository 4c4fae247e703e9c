#include "bench/package_floor.h"

#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <pugixml.hpp>
#include <vector>

#include "bench/zlib_floor.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t get16(const unsigned char* p) {
  return p[0] | (p[1] << 8);
}
std::uint32_t get32(const unsigned char* p) {
  return get16(p) | (static_cast<std::uint32_t>(get16(p + 2)) << 16);
}
void put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void set32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool readWhole(const std::string& path, Bytes* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  bytes->resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  bool ok = size > 0 && std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
  std::fclose(file);
  return ok;
}

// Writes a new file beside path, flushes it and renames it over path.
bool replaceFile(const std::string& path, const unsigned char* data, std::size_t size) {
  const std::string temporary = path + ".floor-new";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0 &&
            fsync(fileno(file)) == 0;
  ok = std::fclose(file) == 0 && ok;
  return ok && std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool deflateRaw(const std::string& in, Bytes* out) {
  z_stream s{};
  if (deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(deflateBound(&s, static_cast<uLong>(in.size())));
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out->data();
  s.avail_out = static_cast<uInt>(out->size());
  int result = deflate(&s, Z_FINISH);
  out->resize(s.total_out);
  deflateEnd(&s);
  return result == Z_STREAM_END;
}

// Takes pugixml's text in its own layout, or in the host's layout that the program writes: a
// blank before the ">" of a start tag that has attributes ("<X a=\"1\" >"). Values and texts
// hold no '"' or '>' of their own in pugixml's output, so a '"' directly before '>' ends an
// attribute.
struct TextWriter : pugi::xml_writer {
  explicit TextWriter(FloorLayout layout) : hostLayout(layout == FloorLayout::kHost) {}
  bool hostLayout;
  std::string text;
  void write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    if (!hostLayout) {
      text.append(p, size);
      return;
    }
    const char* end = p + size;
    while (p != end) {
      const char* close = static_cast<const char*>(std::memchr(p, '>', end - p));
      if (!close) {
        text.append(p, end);
        return;
      }
      text.append(p, close);
      if (!text.empty() && text.back() == '"') text.push_back(' ');
      text.push_back('>');
      p = close + 1;
    }
  }
};

struct Member {
  std::size_t central = 0;  // offset of its central header
  std::size_t dataAt = 0;
  std::uint32_t method = 0, crc = 0, compressed = 0, size = 0;
  Bytes data;
  std::unique_ptr<pugi::xml_document> document;
  bool edited = false;
  Bytes deflated;  // for an edited member
  std::string name;
};

bool isPart(const std::string& name) {
  auto endsWith = [&](const char* tail) {
    std::size_t n = std::strlen(tail);
    return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
  };
  return endsWith(".cui") || endsWith(".xml") || endsWith(".rels");
}

// What the add does to the two parts, in pugixml: a reference and six toolbars per workspace.
void editHeader(pugi::xml_document& document) {
  pugi::xml_node items = document.child("CustSection")
                             .child("Header")
                             .child("CommonConfiguration")
                             .child("CommonItems");
  items.append_child("PartialMenuFile").text().set("c:\\podpora\\norvex_express.cuix");
}

// The same toolbars at the same places as the add, so that the text deflated is the same.
void editWorkspaces(pugi::xml_document& document) {
  static const char* const kIds[] = {"ID_Express", "TBU_0003", "TBU_0005",
                                     "TBU_0007",   "TBU_0009", "TBU_0011"};
  static const int kPlaces[] = {70, 112, 200, 112, 580, 172, 70, 172, 741, 112, 462, 112};
  int uid = 900000;
  for (pugi::xml_node workspace : document.child("WorkspaceRoot").children("Workspace")) {
    pugi::xml_node root = workspace.child("WSToolbarRoot");
    if (!root) root = workspace.append_child("WSToolbarRoot");
    for (int i = 0; i < 6; ++i) {
      pugi::xml_node entry = root.append_child("WSToolbar");
      entry.append_attribute("MenuGroup") = "NORVEX_EXPRESS";
      entry.append_attribute("pUID") = kIds[i];
      entry.append_attribute("Display") = "1";
      entry.append_attribute("ToolbarOrient") = "floating";
      entry.append_attribute("xval") = kPlaces[2 * i];
      entry.append_attribute("yval") = kPlaces[2 * i + 1];
      entry.append_attribute("rows") = "1";
      entry.append_attribute("dockrow") = "0";
      entry.append_attribute("dockcolumn") = "0";
      entry.append_attribute("UID") = ("WSTU_" + std::to_string(uid++)).c_str();
      pugi::xml_node stamp = entry.append_child("ModifiedRev");
      stamp.append_attribute("MajorVersion") = "18";
      stamp.append_attribute("MinorVersion") = "0";
      stamp.append_attribute("UserVersion") = "1";
    }
  }
}

}  // namespace

FloorRun runPackageFloor(const std::string& path, const std::string& backupPath,
                         FloorLayout layout) {
  FloorRun floor;
  auto start = std::chrono::steady_clock::now();
  Bytes bytes;
  if (!readWhole(path, &bytes) || bytes.size() < 22) return floor;
  std::size_t end = bytes.size() - 22;
  while (end > 0 && get32(&bytes[end]) != 0x06054B50) --end;
  if (get32(&bytes[end]) != 0x06054B50) return floor;
  std::size_t count = get16(&bytes[end + 10]);
  std::size_t at = get32(&bytes[end + 16]);
  std::vector<Member> members(count);
  const unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments;
  for (Member& m : members) {
    if (at + 46 > bytes.size() || get32(&bytes[at]) != 0x02014B50) return floor;
    const unsigned char* c = &bytes[at];
    m.central = at;
    m.method = get16(c + 10);
    m.crc = get32(c + 16);
    m.compressed = get32(c + 20);
    m.size = get32(c + 24);
    m.name.assign(reinterpret_cast<const char*>(c + 46), get16(c + 28));
    std::size_t local = get32(c + 42);
    at += 46 + get16(c + 28) + get16(c + 30) + get16(c + 32);
    if (local + 30 > bytes.size()) return floor;
    m.dataAt = local + 30 + get16(&bytes[local + 26]) + get16(&bytes[local + 28]);
    if (m.dataAt + m.compressed > bytes.size()) return floor;
    // Every member is inflated and checked against its CRC, as a load must.
    m.data.resize(m.size);
    if (m.method == 8) {
      if (!inflateRawMember(&bytes[m.dataAt], m.compressed, &m.data)) return floor;
    } else {
      std::memcpy(m.data.data(), &bytes[m.dataAt], m.size);
    }
    if (crc32(0, m.data.data(), static_cast<uInt>(m.data.size())) != m.crc) return floor;
    if (isPart(m.name)) {
      m.document = std::make_unique<pugi::xml_document>();
      if (!m.document->load_buffer_inplace(m.data.data(), m.data.size(), options,
                                           pugi::encoding_utf8))
        return floor;
    }
    floor.uncompressedBytes += m.size;
    ++floor.members;
  }
  for (Member& m : members) {
    if (m.name == "Header.cui") editHeader(*m.document);
    if (m.name == "WorkspaceRoot.cui") editWorkspaces(*m.document);
    if (m.name != "Header.cui" && m.name != "WorkspaceRoot.cui") continue;
    TextWriter writer(layout);
    m.document->save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    if (!deflateRaw(writer.text, &m.deflated)) return floor;
    m.crc = crc32(0, reinterpret_cast<const Bytef*>(writer.text.data()),
                  static_cast<uInt>(writer.text.size()));
    m.size = static_cast<std::uint32_t>(writer.text.size());
    m.compressed = static_cast<std::uint32_t>(m.deflated.size());
    m.method = 8;
    m.edited = true;
  }
  // The new archive: local headers and data, then the central directory with its end record.
  Bytes out;
  out.reserve(bytes.size() + 1024);
  std::vector<std::uint32_t> offsets;
  for (const Member& m : members) {
    const unsigned char* c = &bytes[m.central];
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    put32(out, 0x04034B50);
    put16(out, get16(c + 6));
    put16(out, get16(c + 8) & ~8u);
    put16(out, m.method);
    put32(out, get32(c + 12));
    put32(out, m.crc);
    put32(out, m.compressed);
    put32(out, m.size);
    put16(out, static_cast<std::uint32_t>(m.name.size()));
    put16(out, 0);
    out.insert(out.end(), m.name.begin(), m.name.end());
    const unsigned char* raw = m.edited ? m.deflated.data() : &bytes[m.dataAt];
    out.insert(out.end(), raw, raw + m.compressed);
  }
  std::size_t directory = out.size();
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    const unsigned char* c = &bytes[m.central];
    std::size_t length = 46 + get16(c + 28) + get16(c + 30) + get16(c + 32);
    std::size_t header = out.size();
    out.insert(out.end(), c, c + length);
    set32(&out[header + 16], m.crc);
    set32(&out[header + 20], m.compressed);
    set32(&out[header + 24], m.size);
    set32(&out[header + 42], offsets[i]);
  }
  std::size_t record = out.size();
  out.insert(out.end(), &bytes[end], bytes.data() + bytes.size());
  set32(&out[record + 12], static_cast<std::uint32_t>(record - directory));
  set32(&out[record + 16], static_cast<std::uint32_t>(directory));
  if (!replaceFile(backupPath, bytes.data(), bytes.size()) ||
      !replaceFile(path, out.data(), out.size()))
    return floor;
  members.clear();  // the trees are freed, as the program frees its document
  floor.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  floor.ok = true;
  return floor;
}
