// The merge that adds the add-on's partial menu reference and workspace toolbars to a loaded
// customization document (plain or package), or takes them out again. New nodes belong to
// the document once linked; removed elements are destroyed.
#pragma once

#include <string>

#include "document/xml_node.h"
#include "edits/edit_run.h"

// The path in the form the document holds text: XML's reserved characters as entities.
std::string writtenForm(const char* text);

// Over every named workspace when workspace is null. Returns the sum of the per-workspace
// results (1 each when done, 0 when an entry could not be made); 0 when the document has no
// named workspace, in which case nothing is changed.
int mergeMenuGroup(EditRun& run, xmlNode* document, const char* workspace, const char* partialPath,
                   const char* menuGroup, const char* const* toolbarIds, const int* positions,
                   int toolbarCount, bool remove);
bool addPartialMenu(EditRun& run, xmlNode* document, const char* path);
void removePartialMenu(xmlNode* document, const char* path);
// The "CommonItems" element, found or (with create) made along its path.
xmlNode* findCommonItems(xmlNode* document, bool create);
xmlNode* addToolbarEntry(EditRun& run, xmlNode* workspace, const char* menuGroup, const char* pUID,
                         int orientation, int display, int x, int y, int rows, int dockRow,
                         int dockColumn, int userVersion);
xmlNode* makeRevisionStamp(const EditRun& run, int userVersion);
void setVersionAttributes(const EditRun& run, xmlNode* element, int userVersion);
