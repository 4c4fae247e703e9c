// Writes the node tree back as text, in the host's layout: every element on a line of its
// own, indented two blanks per level. Names, values and comments are written byte for byte.
// Results: 0 on success, otherwise a non-zero error from the first write that failed (what
// was written before it stays in the stream).
#pragma once

#include <cstdio>

#include "document/xml_node.h"

int writeNode(xmlNode* node, std::FILE* stream, int depth);
// -1 when the node has no comment (nothing written), 0 when written, else the write error.
int writeComment(const char* comment, std::FILE* stream);
int writeComment(xmlNode* node, std::FILE* stream);
