// The POSIX program: argv holds the arguments.
#include <string>
#include <vector>

#include "app/norvex_express_app.h"
#include "platform/heap_tuning.h"

int main(int argc, char** argv) {
  platform::tuneHeapForDocuments();
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  CNorvexExpressApp app(platform::openSystemRegistry());
  return app.Run(arguments);
}
