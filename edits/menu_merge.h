// The merge that adds the add-on's partial menu reference and workspace toolbars to a loaded
// customization document (plain or package), or takes them out again. New nodes belong to
// the document once linked; removed elements are destroyed.
#pragma once

#include <string>

#include "document/xml_node.h"
#include "edits/edit_run.h"

// Paths are given as plain text in the document's code page. The tree holds text in its
// written form, so a path goes in with XML's reserved characters as entities, and a reference
// matches a path when its text, with entities and ASCII character references read, equals the
// path without regard to ASCII case.
std::string writtenForm(const char* text);

// Over every named workspace when workspace is null (each one, even when two share a name).
// Returns the sum of the per-workspace results (1 each when done, 0 when an entry could not be
// made); 0 when the document has no named workspace, in which case nothing is changed.
int mergeMenuGroup(EditRun& run, xmlNode* document, const char* workspace, const char* partialPath,
                   const char* menuGroup, const char* const* toolbarIds, const int* positions,
                   int toolbarCount, bool remove);
bool addPartialMenu(EditRun& run, xmlNode* document, const char* path);
// Takes out every reference to the path and to its bare file name.
void removePartialMenu(xmlNode* document, const char* path);
// Whether a reference to the path (or, with fileNameToo, to its bare file name) is there.
bool holdsPartialMenu(xmlNode* document, const char* path, bool fileNameToo);
// The "CommonItems" element, found or (with create) made along its path.
xmlNode* findCommonItems(xmlNode* document, bool create);
xmlNode* addToolbarEntry(EditRun& run, xmlNode* workspace, const char* menuGroup, const char* pUID,
                         int orientation, int display, int x, int y, int rows, int dockRow,
                         int dockColumn, int userVersion);
// The revision stamp of the run's format version, appended to parent; null (and parent as it
// was) when it cannot be made whole.
xmlNode* appendRevisionStamp(const EditRun& run, xmlNode* parent, int userVersion);
