// The POSIX program: the arguments joined with single blanks are the command line.
#include <string>

#include "app/norvex_express_app.h"
#include "platform/heap_tuning.h"

int main(int argc, char** argv) {
  platform::tuneHeapForDocuments();
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  CNorvexExpressApp app(platform::openSystemRegistry());
  return app.InitInstance(commandLine.c_str());
}
