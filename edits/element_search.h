// Look-ups in a customization document: workspaces, their toolbar entries and node texts.
// All functions take and return plain pointers into the caller's tree and own nothing.
// Names and values compare without regard to ASCII case.
#pragma once

#include "document/xml_node.h"

xmlNode* findNextNamed(xmlNode* node, const char* name);
// The first "Workspace" whose "Name" text equals name (any named one when name is null).
xmlNode* findWorkspace(xmlNode* document, const char* name);
// The "WorkspaceRoot" element of a plain document or a package, or null.
xmlNode* findWorkspaceRoot(xmlNode* document);
const char* workspaceName(xmlNode* workspace);
xmlNode* findToolbarEntry(xmlNode* workspace, const char* menuGroup, const char* pUID);
// The same for count identifiers at once, in one pass over the entries: found[i] becomes the
// first entry of menuGroup for ids[i], or null. Returns how many were found.
int findToolbarEntries(xmlNode* workspace, const char* menuGroup, const char* const* ids, int count,
                       xmlNode** found);
// The same over every entry: found[i] as above, and each later entry of menuGroup for one of
// the ids is counted and, with dropLater, detached and destroyed. Returns the count of later
// entries.
int sortOutToolbarEntries(xmlNode* workspace, const char* menuGroup, const char* const* ids,
                          int count, xmlNode** found, bool dropLater);
// Detaches and destroys every entry of menuGroup whose pUID is one of the count ids.
void removeToolbarEntries(xmlNode* workspace, const char* menuGroup, const char* const* ids,
                          int count);
// A node's text: its value, or the text of a CDATA section that is its whole content.
const char* nodeText(xmlNode* node);
// The ToolbarOrient text of an orientation index; "ignore" outside 0 to 4.
const char* orientationName(int index);
