#include "document/xml_writer.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "document/xml_parser.h"

namespace {

// Collects the text and hands it to the sink in pieces of at most kPieceSize bytes, so that
// small pieces cost no call each and the text held never grows past one piece; a single text
// longer than that goes out whole, straight after what was collected before it. After a
// failure nothing more is handed on.
class Output {
 public:
  explicit Output(xmlSink& sink) : sink_(sink), text_(new char[kPieceSize]) {}

  // Inline and without a string's bookkeeping: a document is millions of small pieces.
  void add(const char* data, size_t length) {
    atStart_ = false;
    if (length <= kPieceSize - used_) {
      std::memcpy(text_.get() + used_, data, length);
      used_ += length;
      return;
    }
    if (flush() != DocumentError::kNone) return;
    if (length > kPieceSize) {
      error_ = sink_.put(data, length);
    } else {
      std::memcpy(text_.get(), data, length);
      used_ = length;
    }
  }
  // A terminated text, copied in one pass: most are names and short values.
  void add(const char* text) {
    atStart_ = false;
    for (;;) {
      char* to = text_.get() + used_;
      char* const end = text_.get() + kPieceSize;
      while (to != end && *text) *to++ = *text++;
      used_ = static_cast<size_t>(to - text_.get());
      if (!*text || flush() != DocumentError::kNone) return;
    }
  }
  // A line break before the first line of a document would be layout that the next load
  // keeps as leading white space; the document starts on its first line instead.
  void markStart() { atStart_ = true; }
  void lineBreak(const char* text) {
    if (atStart_)
      atStart_ = false;
    else
      add(text);
  }
  void add(char byte) {
    atStart_ = false;
    if (used_ == kPieceSize && flush() != DocumentError::kNone) return;
    text_[used_++] = byte;
  }
  void blanks(int depth) {
    static const char kBlanks[] = "                                ";
    for (size_t left = static_cast<size_t>(depth) * 2; left > 0;) {
      size_t length = left < sizeof kBlanks - 1 ? left : sizeof kBlanks - 1;
      add(kBlanks, length);
      left -= length;
    }
  }

  // kNone, or the sink's error once a piece failed.
  DocumentError error() const { return error_; }
  DocumentError flush() {
    if (error_ == DocumentError::kNone && used_ > 0) error_ = sink_.put(text_.get(), used_);
    used_ = 0;
    return error_;
  }

 private:
  static constexpr size_t kPieceSize = size_t{1} << 16;
  xmlSink& sink_;
  std::unique_ptr<char[]> text_;
  size_t used_ = 0;
  DocumentError error_ = DocumentError::kNone;
  bool atStart_ = false;
};

void addComment(Output& out, const char* comment) {
  size_t length = std::strlen(comment);
  out.lineBreak("\r\n");
  out.add("<!--");
  if (!isSpace(static_cast<unsigned char>(comment[0]))) out.add("\r\n");
  out.add(comment, length);
  if (!isSpace(static_cast<unsigned char>(comment[length - 1]))) out.add("\r\n");
  out.add("-->");
}

bool hasComment(const xmlNode* node) {
  const char* comment = nodeComment(node);
  return comment && comment[0];
}

DocumentError writeTree(Output& out, const xmlNode* node, int depth) {
  if (!node->name) return DocumentError::kNone;
  if (hasComment(node)) addComment(out, nodeComment(node));
  if (node->cdata) {
    // Written back as the section it was read from, placed like an element.
    out.lineBreak("\n");
    out.blanks(depth);
    out.add("<![CDATA[");
    if (node->value) out.add(node->value);
    out.add("]]>");
    return out.error();
  }
  bool declaration = node->name[0] == '?';
  if (!declaration) out.lineBreak("\n");
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
    return out.error();
  }
  out.add(node->firstAttribute ? " >" : ">");
  // A CDATA section that is the whole content is the element's text: it stays on its line.
  const xmlNode* only = node->firstChild;
  if (only && !only->next && only->cdata && !hasComment(only)) {
    out.add("<![CDATA[");
    if (only->value) out.add(only->value);
    out.add("]]></");
    out.add(node->name);
    out.add('>');
    return out.error();
  }
  if (node->value) {
    out.add(node->value);
    out.add("</");
    out.add(node->name);
    out.add('>');
    return out.error();
  }
  DocumentError result = out.error();
  if (result != DocumentError::kNone) return result;
  for (const xmlNode* child = node->firstChild; child; child = child->next)
    if ((result = writeTree(out, child, depth + 1)) != DocumentError::kNone) return result;
  out.add('\n');
  out.blanks(depth);
  out.add("</");
  out.add(node->name);
  out.add('>');
  return out.error();
}

}  // namespace

DocumentError writeComment(const char* comment, xmlSink& sink) {
  if (!comment || !*comment) return DocumentError::kNoDocument;
  try {
    Output out(sink);
    addComment(out, comment);
    return out.flush();
  } catch (const std::bad_alloc&) {
    return DocumentError::kOutOfMemory;
  }
}

DocumentError writeNode(xmlNode* node, xmlSink& sink, int depth) {
  if (!node || !node->name) return DocumentError::kNone;
  try {
    Output out(sink);
    const DocumentError result = writeTree(out, node, depth);
    return result != DocumentError::kNone ? result : out.flush();
  } catch (const std::bad_alloc&) {
    return DocumentError::kOutOfMemory;
  }
}

DocumentError writeDocument(xmlNode* document, xmlSink& sink) {
  if (!document) return DocumentError::kNone;
  try {
    Output out(sink);
    out.add(document->prefix, strnlen(document->prefix, sizeof document->prefix));
    out.markStart();
    for (const xmlNode* node = document; node; node = node->next) {
      const DocumentError result = writeTree(out, node, 0);
      if (result != DocumentError::kNone) return result;
    }
    const char* trailing = trailingComment(document);
    if (trailing && trailing[0]) addComment(out, trailing);
    return out.flush();
  } catch (const std::bad_alloc&) {
    return DocumentError::kOutOfMemory;
  }
}
