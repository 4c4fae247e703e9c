// The one way into and out of a customization document: a path ending in ".cuix" (in any
// letter case) is a package, any other path a plain XML file. The caller owns a loaded
// document and holds it in an xmlNodeHolder.
#pragma once

#include "document/xml_node.h"
#include "package/package_file.h"
#include "platform/file_read.h"

bool isPackagePath(const char* path);
// A package is read as reading asks; a plain file is always read whole.
xmlNode* loadDocument(const char* path, unsigned codePage,
                      const PackageReading& reading = PackageReading{});
// 0 on success; for plain files the results of saveXmlFile, for packages of saveCuixPackage.
// With expected, the file is replaced only while it still has that identity.
int saveDocument(const char* path, xmlNode* document, unsigned codePage,
                 const platform::FileIdentity* expected = nullptr);
