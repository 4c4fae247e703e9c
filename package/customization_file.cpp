#include "package/customization_file.h"

#include <cstring>

#include "document/xml_file.h"

bool isPackagePath(const char* path) {
  size_t length = path ? std::strlen(path) : 0;
  return length >= 5 && equalsIgnoreCase(path + length - 5, ".cuix");
}

xmlNode* loadDocument(const char* path, unsigned codePage, const PackageReading& reading) {
  return isPackagePath(path) ? loadCuixPackage(path, codePage, reading)
                             : loadXmlFile(path, codePage);
}

int saveDocument(const char* path, xmlNode* document, unsigned codePage,
                 const platform::FileIdentity* expected) {
  if (!document) return kSaveNoFile;
  return isPackagePath(path) ? saveCuixPackage(path, document, codePage, expected)
                             : saveXmlFile(path, document, codePage, expected);
}
