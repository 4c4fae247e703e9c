// The registry file's text format: parsing the file's lines into keys and values, and writing
// them back as read with the changes made since.
#include "platform/registry_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "platform/ascii_text.h"
#include "platform/text_utf.h"

namespace platform {
namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";

// Reads the quoted string that starts at text[pos] == '"' into out, a backslash taking the next
// character as it stands (\\ and \"), and moves pos past its closing quote; false when
// text[pos] is no quote or the string does not end.
bool readQuoted(const std::string& text, size_t* pos, std::string* out) {
  if (*pos >= text.size() || text[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      *out += text[++i];
    } else if (c == '"') {
      *pos = i + 1;
      return true;
    } else {
      *out += c;
    }
  }
  return false;
}

bool readHexBytes(const std::string& text, std::vector<unsigned char>* out) {
  out->clear();
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
    if (i >= text.size()) break;
    if (i + 1 >= text.size() || !isxdigit(static_cast<unsigned char>(text[i])) ||
        !isxdigit(static_cast<unsigned char>(text[i + 1])))
      return false;
    out->push_back(
        static_cast<unsigned char>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    i += 2;
    if (i < text.size() && text[i] != ',' && text[i] != ' ' && text[i] != '\t') return false;
  }
  return true;
}

std::string quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string hexList(const std::vector<unsigned char>& bytes) {
  std::string out;
  char buffer[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", bytes[i]);
    out += buffer;
  }
  return out;
}

// A hex(2) value holds UTF-16LE text with its terminator; it is kept as UTF-8, as the ANSI
// functions give it. Bytes that are no such text stay as they are.
std::vector<unsigned char> expandableTextFromFile(const std::vector<unsigned char>& bytes) {
  std::string wide(bytes.begin(), bytes.end()), text;
  if (wide.size() < 2 || wide.size() % 2 || wide[wide.size() - 1] || wide[wide.size() - 2])
    return bytes;
  wide.resize(wide.size() - 2);
  if (!utf16leToUtf8(wide, &text) || text.find('\0') != std::string::npos) return bytes;
  std::vector<unsigned char> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

// The file's UTF-16LE form of text kept by expandableTextFromFile; empty when it is not text.
std::vector<unsigned char> expandableTextToFile(const std::vector<unsigned char>& data) {
  if (data.empty() || data.back() != 0) return {};
  std::string text(data.begin(), data.end() - 1), wide;
  if (text.find('\0') != std::string::npos || !utf8ToUtf16le(text, &wide)) return {};
  std::vector<unsigned char> out(wide.begin(), wide.end());
  out.push_back(0);
  out.push_back(0);
  return out;
}

// The text of one value line, without its line end.
std::string renderValue(const RegistryFile::Value& value) {
  std::string out = value.name.empty() ? std::string("@") : quote(value.name);
  out += "=";
  const auto& d = value.data;
  // Text with line breaks or bytes that are not UTF-8 would not survive as a quoted
  // string (nor in a UTF-16 file), so it is written as hex(1) instead.
  bool plainString = value.type == kRegSz && !d.empty() && d.back() == 0 &&
                     std::memchr(d.data(), 0, d.size() - 1) == nullptr &&
                     std::memchr(d.data(), '\n', d.size()) == nullptr &&
                     std::memchr(d.data(), '\r', d.size()) == nullptr &&
                     isValidUtf8(std::string(d.begin(), d.end() - 1));
  char buffer[32];
  if (plainString) {
    out += quote(std::string(d.begin(), d.end() - 1));
  } else if (value.type == kRegExpandSz && !expandableTextToFile(d).empty()) {
    out += "hex(2):" + hexList(expandableTextToFile(d));
  } else if (value.type == kRegDword && d.size() == 4) {
    std::snprintf(buffer, sizeof buffer, "dword:%08x",
                  d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<unsigned>(d[3]) << 24));
    out += buffer;
  } else {
    if (value.type == kRegBinary) {
      out += "hex:";
    } else {
      std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
      out += buffer;
    }
    out += hexList(d);
  }
  return out;
}

// The line end a line of the file was read with ("" for a last line without one).
std::string lineEnd(const std::string& line) {
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return "\r\n";
  if (!line.empty() && line.back() == '\n') return "\n";
  return "";
}

// Keys holding values made since the file was read: by the line they go after (a key with a
// section in the file) or with their path (a key without one, in tree order).
void collectNewValues(const RegistryFile::Key& key, const std::string& path,
                      std::map<long, const RegistryFile::Key*>* after,
                      std::vector<std::pair<std::string, const RegistryFile::Key*>>* sections) {
  bool fresh = false;
  for (const auto& value : key.values) fresh = fresh || value.line < 0;
  if (fresh) {
    if (key.lastLine >= 0)
      (*after)[key.lastLine] = &key;
    else
      sections->emplace_back(path, &key);
  }
  for (const auto& sub : key.subkeys)
    collectNewValues(*sub, path + "\\" + sub->name, after, sections);
}

bool endsWithBlankLine(const std::string& text) {
  size_t size = text.size();
  if (size >= 2 && text[size - 1] == '\n' && text[size - 2] == '\n') return true;
  return size >= 3 && text.compare(size - 3, 3, "\n\r\n") == 0;
}

}  // namespace

std::unique_ptr<RegistryFile> RegistryFile::fromText(const std::string& text) {
  std::unique_ptr<RegistryFile> registry(new RegistryFile());
  registry->valid_ = registry->parse(text);
  return registry;
}

bool RegistryFile::parse(const std::string& text) {
  // Logical lines: CR dropped, lines ending in a backslash continued. Each keeps the physical
  // lines it was made of, line ends included, so that the file can be written back as read.
  struct Logical {
    std::string line;
    std::string raw;
  };
  std::vector<Logical> logical;
  std::string current, raw;
  size_t start = 0;
  bool newlineSeen = false;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    raw += text.substr(start, end + 1 - start);  // substr stops at the text's end
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!newlineSeen && end < text.size()) {
      newlineSeen = true;
      newline_ = end > start && text[end - 1] == '\r' ? "\r\n" : "\n";
    }
    if (!current.empty()) {
      size_t first = line.find_first_not_of(" \t");
      line = first == std::string::npos ? std::string() : line.substr(first);
    }
    current += line;
    if (!current.empty() && current.back() == '\\' && current.find('=') != std::string::npos &&
        current.find("=\"") == std::string::npos) {
      current.pop_back();
    } else {
      logical.push_back(Logical{current, raw});
      current.clear();
      raw.clear();
    }
    start = end + 1;
  }
  if (!current.empty()) return false;

  bool headerSeen = false;
  Key* key = nullptr;
  for (const Logical& entry : logical) {
    const std::string& line = entry.line;
    const long index = static_cast<long>(lines_.size());
    lines_.push_back(Line{entry.raw, nullptr, std::string(), false});
    if (line.empty() || line[0] == ';') continue;
    if (!headerSeen) {
      if (line != kHeader) return false;
      headerSeen = true;
      continue;
    }
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      bool remove = line.size() > 2 && line[1] == '-';
      std::string path = line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
      if (remove) {
        std::vector<std::string> parts = splitPath(path);
        if (parts.size() < 2) return false;
        // Deleting a key that is not there changes nothing, not even its parents.
        if (!makeKey(parts[0])) return false;
        Key* parentKey = makeKey(path.substr(0, path.rfind('\\')), false);
        if (!parentKey) {
          key = nullptr;
          continue;
        }
        auto& subs = parentKey->subkeys;
        for (auto it = subs.begin(); it != subs.end(); ++it)
          if (equalsIgnoringAsciiCase((*it)->name, parts.back())) {
            removedKeys_.push_back(std::move(*it));
            subs.erase(it);
            break;
          }
        key = nullptr;
      } else {
        key = makeKey(path);
        if (!key) return false;
        key->lastLine = index;
      }
      continue;
    }
    if (!key) return false;
    size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
      pos = 1;
    } else if (!readQuoted(line, &pos, &name)) {
      return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    std::string data = line.substr(pos + 1);
    lines_.back().key = key;
    lines_.back().valueName = name;
    key->lastLine = index;
    Value value{name, kRegSz, {}, index, false};
    if (data == "-") {
      auto& values = key->values;
      for (auto it = values.begin(); it != values.end(); ++it)
        if (equalsIgnoringAsciiCase(it->name, name)) {
          values.erase(it);
          break;
        }
      continue;
    }
    lines_.back().setsValue = true;
    if (!data.empty() && data[0] == '"') {
      size_t at = 0;
      std::string textValue;
      if (!readQuoted(data, &at, &textValue) || at != data.size()) return false;
      value.data.assign(textValue.begin(), textValue.end());
      value.data.push_back(0);
    } else if (data.compare(0, 6, "dword:") == 0) {
      std::string digits = data.substr(6);
      if (digits.empty() || digits.size() > 8 ||
          digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
      unsigned long number = std::strtoul(digits.c_str(), nullptr, 16);
      value.type = kRegDword;
      for (int i = 0; i < 4; ++i)
        value.data.push_back(static_cast<unsigned char>(number >> (8 * i)));
    } else if (data.compare(0, 4, "hex:") == 0) {
      value.type = kRegBinary;
      if (!readHexBytes(data.substr(4), &value.data)) return false;
    } else if (data.compare(0, 4, "hex(") == 0) {
      size_t close = data.find("):");
      if (close == std::string::npos || close == 4) return false;
      std::string digits = data.substr(4, close - 4);
      if (digits.size() > 8 ||
          digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
      value.type = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
      if (!readHexBytes(data.substr(close + 2), &value.data)) return false;
      if (value.type == kRegExpandSz) value.data = expandableTextFromFile(value.data);
    } else {
      return false;
    }
    if (Value* existing = findValue(key, name)) {
      existing->type = value.type;
      existing->data = value.data;
      existing->line = index;
    } else {
      key->values.push_back(value);
    }
  }
  return headerSeen || logical.empty();
}

std::string RegistryFile::toText() const {
  // Keys with values made since the file was read: after their last section's last line, or
  // (keys without a section in the file) in new sections at the end, in tree order.
  std::map<long, const Key*> appendAfter;
  std::vector<std::pair<std::string, const Key*>> newSections;
  for (const Key* root : {&machine_, &user_, &users_})
    collectNewValues(*root, root->name, &appendAfter, &newSections);

  auto freshValues = [this](const Key& key, std::string* out) {
    for (const Value& value : key.values)
      if (value.line < 0) *out += renderValue(value) + newline_;
  };
  auto deletedSince = [this](const Key* key, const std::string& name) {
    for (const auto& deleted : deletedValues_)
      if (deleted.first == key && equalsIgnoringAsciiCase(deleted.second, name)) return true;
    return false;
  };

  std::string out;
  if (lines_.empty()) out = std::string(kHeader) + newline_ + newline_;
  for (size_t index = 0; index < lines_.size(); ++index) {
    const Line& line = lines_[index];
    if (line.key && line.setsValue) {
      const Value* value = nullptr;
      for (const Value& candidate : line.key->values)
        if (equalsIgnoringAsciiCase(candidate.name, line.valueName)) value = &candidate;
      if (deletedSince(line.key, line.valueName)) {
        // Deleted since (and perhaps made again, then written as a new value): every line
        // that set it goes, or reading the file again would bring an old one back.
      } else if (value && value->line == static_cast<long>(index) && value->changed) {
        out += renderValue(*value) + lineEnd(line.text);
      } else {
        out += line.text;
      }
    } else {
      out += line.text;
    }
    auto after = appendAfter.find(static_cast<long>(index));
    if (after != appendAfter.end()) {
      if (!out.empty() && out.back() != '\n') out += newline_;
      freshValues(*after->second, &out);
    }
  }
  for (const auto& section : newSections) {
    if (!out.empty() && out.back() != '\n') out += newline_;
    if (!endsWithBlankLine(out)) out += newline_;
    out += "[" + section.first + "]" + newline_;
    freshValues(*section.second, &out);
    out += newline_;
  }
  return out;
}

}  // namespace platform
