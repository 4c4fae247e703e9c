// Look-ups in a customization document, identifier allocation and the self-check of a tree.
// All functions take and return plain pointers into the caller's tree and own nothing.
// Names and values compare without regard to ASCII case.
#pragma once

#include <string>

#include "document/xml_node.h"
#include "edits/edit_run.h"

xmlNode* findNextNamed(xmlNode* node, const char* name);
// The first "Workspace" whose "Name" text equals name (any named one when name is null).
xmlNode* findWorkspace(xmlNode* document, const char* name);
// The "WorkspaceRoot" element of a plain document or a package, or null.
xmlNode* findWorkspaceRoot(xmlNode* document);
const char* workspaceName(xmlNode* workspace);
xmlNode* findToolbarEntry(xmlNode* workspace, const char* menuGroup, const char* pUID);
// A node's text: its value, or the text of a CDATA section that is its whole content.
const char* nodeText(xmlNode* node);

// Raises the counters of run above every identifier in the document and the nodes after it.
void scanIdentifiers(EditRun& run, xmlNode* document);
// "WSTU_" and the next number.
std::string newToolbarId(EditRun& run);
void setFormatVersion(EditRun& run, unsigned major, unsigned minor);
const char* orientationName(int index);
bool checkTree(xmlNode* node);
