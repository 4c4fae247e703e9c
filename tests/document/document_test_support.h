// Small helpers for the document tests: parse a text, write a document to a string.
#pragma once

#include <cstdio>
#include <string>

#include "document/xml_node.h"
#include "document/xml_parser.h"
#include "document/xml_writer.h"

inline xmlNode* parseText(const std::string& text) {
  return parseDocument(text.c_str(), newNode(nullptr, nullptr));
}

// The text the writer gives for every top-level node of document, and the trailing comment.
inline std::string writeText(xmlNode* document) {
  std::FILE* stream = std::tmpfile();
  if (!stream) return "(no temporary file)";
  for (xmlNode* node = document; node; node = node->next)
    if (writeNode(node, stream, 0) != 0) return "(write failed)";
  if (document) writeComment(document->trailingComment, stream);
  std::string text;
  std::rewind(stream);
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, got);
  std::fclose(stream);
  return text;
}
