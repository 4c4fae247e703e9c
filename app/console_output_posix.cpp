#include "app/console_output.h"

bool writeStandardOutput(const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok;
}

std::FILE* openFileForAppend(const std::string& path) {
  return std::fopen(path.c_str(), "ab");
}
