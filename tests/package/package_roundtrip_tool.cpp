// Loads a package and saves it in place, as the program does, optionally adding the header
// part that an add run creates when the package has none.
//   package_roundtrip_tool PATH [--add-header]
#include <cstdio>
#include <cstring>

#include "document/xml_node.h"
#include "package/customization_file.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH [--add-header]\n", argv[0]);
    return 2;
  }
  PackageFailure failure;
  xmlNodeHolder root(loadDocument(argv[1], PackageReading{}, &failure));
  if (!root) {
    std::fprintf(stderr, "cannot load %s: %d/%d\n", argv[1], static_cast<int>(failure.error),
                 static_cast<int>(failure.document));
    return 1;
  }
  if (argc > 2 && std::strcmp(argv[2], "--add-header") == 0) {
    xmlNode* section = findChild(findChild(root.get(), "Header.cui", true), "CustSection", true);
    findChild(findChild(section, "Header", true), "CommonConfiguration", true);
  }
  failure = saveDocument(argv[1], root.get());
  if (failure.failed())
    std::fprintf(stderr, "cannot save %s: %d/%d\n", argv[1], static_cast<int>(failure.error),
                 static_cast<int>(failure.document));
  return failure.failed() ? 1 : 0;
}
