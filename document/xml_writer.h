// Writes the node tree back as text, in the host's layout: every element on a line of its
// own, indented two blanks per level. Names, values and comments are written byte for byte,
// whatever their length. A node read from a CDATA section is written back as that section.
// Results: 0 on success, kWriteNoMemory when memory runs out, otherwise the stream's error
// indicator from the first write that failed (what was written before it stays in the
// stream). The writer never closes the stream.
#pragma once

#include <cstdio>

#include "document/xml_node.h"

constexpr int kWriteNoMemory = 12;

// A nameless node (the package root) is not written; the result is then 0.
int writeNode(xmlNode* node, std::FILE* stream, int depth);
// -1 when there is no comment or an empty one (nothing written), 0 when written, else an
// error as above.
int writeComment(const char* comment, std::FILE* stream);
int writeComment(xmlNode* node, std::FILE* stream);
