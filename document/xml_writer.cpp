#include "document/xml_writer.h"

#include <cstring>
#include <new>
#include <string>

#include "document/xml_parser.h"

namespace {

// Collects the text of one top-level call and hands it to the stream in large pieces, so that
// a piece of any length is written whole and small pieces cost no call each.
class Output {
 public:
  explicit Output(std::FILE* stream) : stream_(stream) { text_.reserve(kFlushSize); }

  void add(const char* data, size_t length) { text_.append(data, length); }
  void add(const char* data) { text_.append(data); }
  void add(char byte) { text_.push_back(byte); }
  void blanks(int depth) { text_.append(static_cast<size_t>(depth) * 2, ' '); }

  // 0, or the stream's error indicator (never 0) when a write failed.
  int flushIfFull() { return text_.size() >= kFlushSize ? flush() : 0; }
  int flush() {
    size_t length = text_.size();
    bool written = !length || std::fwrite(text_.data(), 1, length, stream_) == length;
    text_.clear();
    if (written) return 0;
    int error = std::ferror(stream_);
    return error ? error : 1;
  }

 private:
  static constexpr size_t kFlushSize = size_t{1} << 16;
  std::FILE* stream_;
  std::string text_;
};

void addComment(Output& out, const char* comment) {
  size_t length = std::strlen(comment);
  out.add("\r\n<!--");
  if (!isSpace(static_cast<unsigned char>(comment[0]))) out.add("\r\n");
  out.add(comment, length);
  if (!isSpace(static_cast<unsigned char>(comment[length - 1]))) out.add("\r\n");
  out.add("-->");
}

bool hasComment(const xmlNode* node) {
  return node->comment && node->comment[0];
}

int writeTree(Output& out, const xmlNode* node, int depth) {
  if (!node->name) return 0;
  if (hasComment(node)) addComment(out, node->comment);
  if (node->cdata) {
    // Written back as the section it was read from, placed like an element.
    out.add('\n');
    out.blanks(depth);
    out.add("<![CDATA[");
    if (node->value) out.add(node->value);
    out.add("]]>");
    return out.flushIfFull();
  }
  bool declaration = node->name[0] == '?';
  if (!declaration) out.add('\n');
  out.blanks(depth);
  out.add('<');
  out.add(node->name);
  for (const xmlNode* attribute = node->firstAttribute; attribute; attribute = attribute->next) {
    out.add(' ');
    if (attribute->name) out.add(attribute->name);
    out.add("=\"");
    if (attribute->value) out.add(attribute->value);
    out.add('"');
  }
  if (!node->firstChild && !node->value) {
    // "?>" only where the parser can read it back: after an attribute.
    out.add(declaration && node->firstAttribute ? "?>" : " />");
    return out.flushIfFull();
  }
  out.add(node->firstAttribute ? " >" : ">");
  if (node->value) {
    out.add(node->value);
    out.add("</");
    out.add(node->name);
    out.add('>');
    return out.flushIfFull();
  }
  int result = out.flushIfFull();
  if (result != 0) return result;
  for (const xmlNode* child = node->firstChild; child; child = child->next)
    if ((result = writeTree(out, child, depth + 1)) != 0) return result;
  out.add('\n');
  out.blanks(depth);
  out.add("</");
  out.add(node->name);
  out.add('>');
  return out.flushIfFull();
}

}  // namespace

int writeComment(const char* comment, std::FILE* stream) {
  if (!comment || !*comment) return -1;
  try {
    Output out(stream);
    addComment(out, comment);
    return out.flush();
  } catch (const std::bad_alloc&) {
    return kWriteNoMemory;
  }
}

int writeComment(xmlNode* node, std::FILE* stream) {
  return writeComment(node ? node->comment : nullptr, stream);
}

int writeNode(xmlNode* node, std::FILE* stream, int depth) {
  if (!node || !node->name) return 0;
  try {
    Output out(stream);
    int result = writeTree(out, node, depth);
    return result != 0 ? result : out.flush();
  } catch (const std::bad_alloc&) {
    return kWriteNoMemory;
  }
}
