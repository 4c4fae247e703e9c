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

// An add keeps what is there: the first reference to the partial file stays where it is (its
// text made the path when it names another folder) and the others go; in each workspace the
// first entry of each toolbar stays as it is, later ones go, and the missing ones are appended
// in the order of toolbarIds. A remove takes out every reference and every entry.
// Over every named workspace when workspace is null (each one, even when two share a name).
// Returns the sum of the per-workspace results (1 each when done, 0 when an entry could not be
// made); 0 when the document has no named workspace, in which case nothing is changed.
int mergeMenuGroup(EditRun& run, xmlNode* document, const char* workspace, const char* partialPath,
                   const char* menuGroup, const char* const* toolbarIds, const int* positions,
                   int toolbarCount, bool remove);
bool addPartialMenu(EditRun& run, xmlNode* document, const char* path);
// Takes out every reference to the partial file, in any folder.
void removePartialMenu(xmlNode* document, const char* path);

// A reference names the partial file when its text's last path component, without a ".cui" or
// ".cuix" extension, equals the path's, and names the path itself when the whole texts are
// equal; both without regard to ASCII case, with "/" and "\" alike and blanks around the text
// left out.
bool namesPartialFile(const char* referenceText, const char* path);
bool namesPartialPath(const char* referenceText, const char* path);

// What of the add-on a document holds: the references to its partial file and its toolbar
// entries in the named workspaces.
struct AddOnContent {
  int references = 0;           // references to the partial file, in any folder
  bool firstNamesPath = false;  // the first of them names the path itself
  // The first of them is an element named exactly "PartialMenuFile", as the host reads it (the
  // look-ups here ignore case).
  bool firstSpelledExactly = false;
  int namedWorkspaces = 0;
  int entries = 0;       // the first entry of each toolbar, over every named workspace
  int laterEntries = 0;  // further entries of a toolbar in the same workspace

  // What an add makes is there once each, nothing of it twice: an add would change nothing.
  bool complete(int toolbarCount) const {
    return references == 1 && firstNamesPath && firstSpelledExactly && namedWorkspaces > 0 &&
           entries == namedWorkspaces * toolbarCount && laterEntries == 0;
  }
  // Nothing of it is there: a remove would change nothing.
  bool absent() const { return references == 0 && entries == 0 && laterEntries == 0; }
};
AddOnContent findAddOnContent(xmlNode* document, const char* path, const char* menuGroup,
                              const char* const* toolbarIds, int toolbarCount);
// The "CommonItems" element, found or (with create) made along its path.
xmlNode* findCommonItems(xmlNode* document, bool create);
xmlNode* addToolbarEntry(EditRun& run, xmlNode* workspace, const char* menuGroup, const char* pUID,
                         int orientation, int display, int x, int y, int rows, int dockRow,
                         int dockColumn, int userVersion);
// The revision stamp of the run's format version, appended to parent; null (and parent as it
// was) when it cannot be made whole.
xmlNode* appendRevisionStamp(const EditRun& run, xmlNode* parent, int userVersion);
