// Writes the node tree back as text, in the host's layout: every element on a line of its
// own, indented two blanks per level. Names, values and comments are written byte for byte,
// whatever their length. A node read from a CDATA section is written back as that section; one
// that is an element's whole content stays on the element's line, as the element's text.
// Results: kNone on success, kOutOfMemory when memory runs out, otherwise the error the sink
// gave for the first piece it could not take (what was taken before it stays taken). The
// writer owns nothing it is given.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>

#include "document/document_error.h"
#include "document/xml_node.h"

// Where written text goes. The writer hands it pieces of at most 64 KiB, except a single name,
// value or comment longer than that, which comes as one piece.
class xmlSink {
 public:
  // kNone when the whole piece was taken, otherwise why not.
  virtual DocumentError put(const char* data, std::size_t length) = 0;

 protected:
  ~xmlSink() = default;
};

// A sink that appends the text to a container of bytes (a std::string or a byte vector) the
// caller owns; kOutOfMemory when the container cannot grow.
template <typename Container>
class xmlAppendingSink : public xmlSink {
 public:
  explicit xmlAppendingSink(Container& bytes) : bytes_(bytes) {}
  DocumentError put(const char* data, std::size_t length) override {
    try {
      bytes_.insert(bytes_.end(), data, data + length);
      return DocumentError::kNone;
    } catch (const std::bad_alloc&) {
      return DocumentError::kOutOfMemory;
    } catch (const std::length_error&) {
      return DocumentError::kOutOfMemory;
    }
  }

 private:
  Container& bytes_;
};

// A nameless node (the package root) is not written; the result is then kNone.
DocumentError writeNode(xmlNode* node, xmlSink& sink, int depth);
// kNoDocument when there is no comment or an empty one (nothing written), else as above.
DocumentError writeComment(const char* comment, xmlSink& sink);
// A whole document: the first node's prefix, every node of the top-level chain, and the
// first node's trailing comment.
DocumentError writeDocument(xmlNode* document, xmlSink& sink);
