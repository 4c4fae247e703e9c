#include <windows.h>

#include "platform/temp_file.h"

namespace platform {

std::string makeTempFileName() {
  char folder[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return std::string();
  char name[MAX_PATH + 1];
  if (GetTempFileNameA(folder, "VT_CUI_", 0, name) == 0) return std::string();
  return name;
}

}  // namespace platform
