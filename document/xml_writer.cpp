#include "document/xml_writer.h"

#include <cstring>
#include <string>

#include "document/xml_parser.h"

namespace {

int writeBytes(std::FILE* stream, const char* data, size_t length) {
  if (length && std::fwrite(data, 1, length, stream) != length) {
    int error = std::ferror(stream);
    return error ? error : 1;
  }
  return 0;
}

int writeText(std::FILE* stream, const std::string& text) {
  return writeBytes(stream, text.data(), text.size());
}

std::string indent(int depth) { return std::string(static_cast<size_t>(2 * depth), ' '); }

}  // namespace

int writeComment(const char* comment, std::FILE* stream) {
  if (!comment || !*comment) return -1;
  size_t length = std::strlen(comment);
  std::string piece = "\r\n<!--";
  if (!isSpace(static_cast<unsigned char>(comment[0]))) piece += "\r\n";
  piece.append(comment, length);
  if (!isSpace(static_cast<unsigned char>(comment[length - 1]))) piece += "\r\n";
  piece += "-->";
  return writeText(stream, piece);
}

int writeComment(xmlNode* node, std::FILE* stream) {
  return writeComment(node ? node->comment : nullptr, stream);
}

int writeNode(xmlNode* node, std::FILE* stream, int depth) {
  if (!node || !node->name) return 0;
  int result = writeComment(node, stream);
  if (result != -1 && result != 0) return result;
  if (node->cdata) {
    std::string piece = "\n" + indent(depth) + "<![CDATA[" + (node->value ? node->value : "") + "]]>";
    return writeText(stream, piece);
  }
  bool declaration = node->name[0] == '?';
  std::string piece = (declaration ? "" : "\n") + indent(depth) + "<" + node->name;
  for (xmlNode* attribute = node->firstAttribute; attribute; attribute = attribute->next) {
    piece += " ";
    piece += attribute->name ? attribute->name : "";
    piece += "=\"";
    piece += attribute->value ? attribute->value : "";
    piece += "\"";
  }
  if (!node->firstChild && !node->value) {
    piece += declaration ? "?>" : " />";
    return writeText(stream, piece);
  }
  piece += node->firstAttribute ? " >" : ">";
  if (node->value) {
    piece += node->value;
    piece += "</";
    piece += node->name;
    piece += ">";
    return writeText(stream, piece);
  }
  if ((result = writeText(stream, piece)) != 0) return result;
  for (xmlNode* child = node->firstChild; child; child = child->next)
    if ((result = writeNode(child, stream, depth + 1)) != 0) return result;
  return writeText(stream, "\n" + indent(depth) + "</" + node->name + ">");
}
