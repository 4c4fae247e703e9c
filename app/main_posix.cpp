// The POSIX program: argv holds the arguments.
#include <algorithm>
#include <string>
#include <vector>

#include "app/norvex_express_app.h"
#include "document/xml_heap_tuning.h"

int main(int argc, char** argv) {
  tuneHeapForDocuments();
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  CNorvexExpressApp app(platform::openSystemRegistry());
  // The whole command line for the log, program included, each word as the shell passed it.
  std::string line;
  for (int i = 0; i < argc; ++i) {
    const std::string word = argv[i];
    if (i > 0) line += ' ';
    const bool plain = !word.empty() && std::none_of(word.begin(), word.end(), [](char c) {
      return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\'';
    });
    line += plain ? word : "'" + word + "'";
  }
  app.SetCommandLine(line);
  return app.InitInstance(arguments);
}
