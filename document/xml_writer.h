// Writes the node tree back as text, in the host's layout: every element on a line of its
// own, indented two blanks per level. Names, values and comments are written byte for byte,
// whatever their length. A node read from a CDATA section is written back as that section; one
// that is an element's whole content stays on the element's line, as the element's text.
// Results: 0 on success, kWriteNoMemory when memory runs out, otherwise the error the sink
// (or the stream) gave for the first piece it could not take (what was taken before it stays
// taken). The writer never closes a stream and owns nothing it is given.
#pragma once

#include <cstddef>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "document/xml_node.h"

constexpr int kWriteNoMemory = 12;

// Where written text goes. The writer hands it pieces of at most 64 KiB, except a single name,
// value or comment longer than that, which comes as one piece.
class xmlSink {
 public:
  // 0 when the whole piece was taken, otherwise a positive error number.
  virtual int put(const char* data, std::size_t length) = 0;

 protected:
  ~xmlSink() = default;
};

// A sink that appends the text to a container of bytes (a std::string or a byte vector) the
// caller owns; kWriteNoMemory when the container cannot grow.
template <typename Container>
class xmlAppendingSink : public xmlSink {
 public:
  explicit xmlAppendingSink(Container& bytes) : bytes_(bytes) {}
  int put(const char* data, std::size_t length) override {
    try {
      bytes_.insert(bytes_.end(), data, data + length);
      return 0;
    } catch (const std::bad_alloc&) {
      return kWriteNoMemory;
    } catch (const std::length_error&) {
      return kWriteNoMemory;
    }
  }

 private:
  Container& bytes_;
};

// A nameless node (the package root) is not written; the result is then 0.
int writeNode(xmlNode* node, xmlSink& sink, int depth);
int writeNode(xmlNode* node, std::FILE* stream, int depth);
// -1 when there is no comment or an empty one (nothing written), 0 when written, else an
// error as above.
int writeComment(const char* comment, xmlSink& sink);
int writeComment(const char* comment, std::FILE* stream);
int writeComment(xmlNode* node, std::FILE* stream);
// A whole document: the first node's prefix, every node of the top-level chain, and the
// first node's trailing comment.
int writeDocument(xmlNode* document, xmlSink& sink);
