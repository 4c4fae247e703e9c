// The add-on in an old host release's profile: its menu group among the values of the
// profile's Menus key, and its toolbar values in the Toolbars key. Writes are ordered so that
// a run stopped at any point loses no group and a later run finishes the work.
#pragma once

#include <string>

#include "platform/registry.h"
#include "profiles/profile_result.h"

// Adds or removes the add-on's menu group of one profile; a dry run writes nothing. An add
// gives a group value of the add-on that names another folder the support base path, in place.
ProfileResult RegisterMenuGroup(platform::Registry& registry, const std::string& productKey,
                                const std::string& supportBasePath, const char* profile,
                                ProfileMode mode, int platformFlag, bool dryRun,
                                ProfileReport* report);
// What of the add-on the profile's keys hold, in report->state; changes nothing.
ProfileResult MenuGroupStatus(platform::Registry& registry, const std::string& productKey,
                              const std::string& supportBasePath, const char* profile,
                              int platformFlag, ProfileReport* report);
