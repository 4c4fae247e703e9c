// The one way into and out of a customization document: a path ending in ".cuix" (in any
// letter case) is a package, any other path a plain XML file. The caller owns a loaded
// document and holds it in an xmlNodeHolder.
#pragma once

#include "document/xml_node.h"
#include "package/package_file.h"
#include "platform/file_read.h"

bool isPackagePath(const char* path);
// A package is read as reading asks; a plain file is always read whole. Null when it cannot be
// read; why goes to *failure, when given (for a plain file kDocument with the file's reason).
xmlNode* loadDocument(const char* path, const PackageReading& reading = PackageReading{},
                      PackageFailure* failure = nullptr);
// Saves as saveCuixPackage or saveXmlFile (a plain file's reason comes as kDocument). With
// expected, the file is replaced only while it still has that identity.
PackageFailure saveDocument(const char* path, xmlNode* document,
                            const platform::FileIdentity* expected = nullptr);
