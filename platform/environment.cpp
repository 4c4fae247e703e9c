#include "platform/environment.h"

#include <cstring>

#include "platform/ascii_text.h"

namespace platform {

void UserEnvironment::set(const std::string& name, const std::string& value) {
  variables_[lowerAscii(name)] = value;
}

bool UserEnvironment::has(const std::string& name) const {
  return variables_.count(lowerAscii(name)) != 0;
}

bool UserEnvironment::lookUp(const std::string& name, std::string* value) const {
  auto found = variables_.find(lowerAscii(name));
  if (found == variables_.end()) return processEnvironmentVariable(name, value);
  *value = found->second;
  return true;
}

std::string UserEnvironment::expand(const std::string& source) const {
  std::string out, value;
  const char* p = source.c_str();
  while (*p) {
    const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
    if (close && close > p + 1) {
      if (lookUp(std::string(p + 1, close), &value)) {
        out += value;
        p = close + 1;
        continue;
      }
      // Unknown: keep the text up to the closing %, which may open the next reference.
      out.append(p, close);
      p = close;
      continue;
    }
    out += *p++;
  }
  return out;
}

}  // namespace platform
