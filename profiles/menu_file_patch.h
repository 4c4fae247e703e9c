// The update of one profile whose host keeps its menus in a main customization file: the
// add-on's partial menu reference and its six floating toolbars are added to the file, or
// taken out. True only when the file was loaded, changed as asked, verified and saved.
#pragma once

#include <string>

#include "edits/edit_run.h"
#include "platform/registry.h"

// Name of the one copy of a customization file kept before its first change.
std::string backupPathFor(const std::string& menuFile);

bool PatchMenuFile(platform::Registry& registry, EditRun& run, const std::string& productKey,
                   const std::string& supportBasePath, const char* profile, int mode,
                   int platformFlag, const char* extension);
