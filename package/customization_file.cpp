#include "package/customization_file.h"

#include <string_view>

#include "document/xml_file.h"
#include "platform/ascii_text.h"

bool isPackagePath(const char* path) {
  const std::string_view name = path ? path : "";
  return name.size() >= 5 &&
         platform::equalsIgnoringAsciiCase(name.substr(name.size() - 5), ".cuix");
}

xmlNode* loadDocument(const char* path, const PackageReading& reading, PackageFailure* failure) {
  if (isPackagePath(path)) return loadCuixPackage(path, reading, failure);
  DocumentError error = DocumentError::kNone;
  xmlNode* document = loadXmlFile(path, &error);
  if (failure) *failure = PackageFailure::ofDocument(error);
  return document;
}

PackageFailure saveDocument(const char* path, xmlNode* document,
                            const platform::FileIdentity* expected) {
  if (!document) return PackageFailure::ofDocument(DocumentError::kNoDocument);
  if (isPackagePath(path)) return saveCuixPackage(path, document, expected);
  return PackageFailure::ofDocument(saveXmlFile(path, document, expected));
}
