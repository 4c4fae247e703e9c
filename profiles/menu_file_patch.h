// The update of one profile whose host keeps its menus in a main customization file: the
// add-on's partial menu reference and its six floating toolbars are added to the file, or
// taken out. Done only when the file was loaded, changed as asked, verified and saved (or
// already was as asked).
#pragma once

#include <string>

#include "edits/edit_run.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "profiles/profile_result.h"

// Name of the one copy of a customization file kept before its first change.
std::string backupPathFor(const std::string& menuFile);

// Adds the add-on to the profile's menu file or removes it, and says how it went;
// report->target names the file (or the key) looked at. A dry run does everything but write: no
// backup, no new file, no save. The MenuFile value is expanded in environment, or in this
// process's environment when it is null.
ProfileResult PatchMenuFile(platform::Registry& registry, EditRun& run,
                            const std::string& productKey, const std::string& supportBasePath,
                            const char* profile, ProfileMode mode, int platformFlag,
                            const char* extension, bool dryRun, ProfileReport* report,
                            const platform::UserEnvironment* environment = nullptr);
// Reads the profile's file and sets report->state; kAlreadyAsAsked when it could be read.
ProfileResult MenuFileStatus(platform::Registry& registry, const std::string& productKey,
                             const std::string& supportBasePath, const char* profile,
                             int platformFlag, const char* extension, ProfileReport* report,
                             const platform::UserEnvironment* environment = nullptr);
