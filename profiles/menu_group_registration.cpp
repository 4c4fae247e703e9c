#include "profiles/menu_group_registration.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "edits/menu_merge.h"
#include "platform/ascii_text.h"
#include "profiles/host_profiles.h"
#include "profiles/registry_key.h"

namespace {

using platform::lowerAscii;
using platform::RegKey;

// One value of the Menus key, as read.
struct MenuValue {
  std::string name;
  std::uint32_t type = 0;
  std::vector<unsigned char> data;  // as read, terminator included
  bool group = false;               // a REG_SZ value whose name contains "group": a menu group
  bool addOn = false;               // a group value naming the add-on
  // A group value as an add writes it: "Norvex_Express", a blank and a path whose last
  // component is the add-on's folder name (ASCII case ignored).
  bool registration = false;
};

struct MenuScan {
  std::vector<MenuValue> values;  // every value of the key, in enumeration order
  bool hasAddOn = false;
  std::uint64_t largestNumber = 0;  // the largest number after "group" in any value's name
};

// Whether a group value's text is a registration of the add-on as an add writes it, whatever
// folder it names.
bool isRegistration(const std::string& text) {
  const std::string lower = lowerAscii(text);
  const std::string name = "norvex_express";
  if (lower.compare(0, name.size() + 1, name + " ") != 0) return false;
  std::size_t end = lower.find_last_not_of(" \t");
  std::size_t separator = lower.find_last_of("\\/", end);
  return end != std::string::npos && separator != std::string::npos && separator > name.size() &&
         lower.compare(separator + 1, end - separator, name) == 0;
}

// Numbers in names are read as far as this; larger ones count as this.
constexpr std::uint64_t kNumberCap = 1000000000000000000ull;

// The number that follows the first "group" in a lower-case name, read as atoi reads it
// (leading blanks, a sign); 0 when there is none or it is negative.
std::uint64_t groupNumber(const std::string& lowerName) {
  size_t at = lowerName.find("group");
  if (at == std::string::npos) return 0;
  at += 5;
  while (at < lowerName.size() &&
         (lowerName[at] == ' ' || (lowerName[at] >= '\t' && lowerName[at] <= '\r')))
    ++at;
  if (at < lowerName.size() && (lowerName[at] == '+' || lowerName[at] == '-')) {
    if (lowerName[at] == '-') return 0;
    ++at;
  }
  std::uint64_t number = 0;
  for (; at < lowerName.size() && lowerName[at] >= '0' && lowerName[at] <= '9'; ++at)
    number = number >= kNumberCap / 10 ? kNumberCap
                                       : number * 10 + static_cast<unsigned>(lowerName[at] - '0');
  return number;
}

std::string groupName(std::uint64_t number) {
  return "Group" + std::to_string(number);
}

// Reads every value of the Menus key. False when a value does not fit the buffers or the
// enumeration fails: no decision is taken on part of the key.
bool scanMenuGroups(platform::Registry& registry, RegKey key, MenuScan* scan) {
  for (std::uint32_t index = 0;; ++index) {
    char name[kValueSize];
    unsigned char data[kValueSize];
    std::uint32_t nameSize = kValueSize, dataSize = kValueSize, type = 0;
    long result = registry.enumValue(key, index, name, &nameSize, &type, data, &dataSize);
    if (result == platform::kErrorNoMoreItems) return true;
    if (result != platform::kErrorSuccess) return false;
    MenuValue value;
    value.name.assign(name, nameSize);
    value.type = type;
    value.data.assign(data, data + dataSize);
    std::string lowerName = lowerAscii(value.name);
    // Every name counts for new numbers, whatever its type: a new name never meets an old one.
    scan->largestNumber = std::max(scan->largestNumber, groupNumber(lowerName));
    value.group = type == platform::kRegSz && lowerName.find("group") != std::string::npos;
    if (value.group) {
      std::string text(reinterpret_cast<char*>(data),
                       strnlen(reinterpret_cast<char*>(data), dataSize));
      value.addOn = lowerAscii(text).find("norvex_express") != std::string::npos;
      value.registration = isRegistration(text);
      scan->hasAddOn = scan->hasAddOn || value.addOn;
    }
    scan->values.push_back(std::move(value));
  }
}

// Names not in use in the key, past every number the key's names hold.
class FreshNames {
 public:
  FreshNames(const MenuScan& scan, std::uint64_t pastNumber) : next_(pastNumber + 1) {
    for (const MenuValue& value : scan.values) taken_.insert(lowerAscii(value.name));
  }
  std::string next() {
    std::string name;
    do name = groupName(next_++);
    while (taken_.count(lowerAscii(name)));
    taken_.insert(lowerAscii(name));
    return name;
  }

 private:
  std::uint64_t next_;
  std::set<std::string> taken_;
};

// The data of the add-on's group value for a support base path.
std::string addOnData(const std::string& supportBasePath) {
  return "Norvex_Express " + supportBasePath;
}

// The add-on's registrations, in enumeration order.
std::vector<const MenuValue*> registrations(const MenuScan& scan) {
  std::vector<const MenuValue*> found;
  for (const MenuValue& value : scan.values)
    if (value.group && value.registration) found.push_back(&value);
  return found;
}

// Whether a registration names the support base path itself, and not an earlier folder.
bool namesFolder(const MenuValue& value, const std::string& supportBasePath) {
  const char* text = reinterpret_cast<const char*>(value.data.data());
  return namesPartialPath(std::string(text, strnlen(text, value.data.size())).c_str(),
                          addOnData(supportBasePath).c_str());
}

// Whether an add has nothing to do: one registration, naming the folder. A group value that
// names the add-on in another form than an add writes is the user's and counts as done.
bool isComplete(const MenuScan& scan, const std::vector<const MenuValue*>& found,
                bool firstNamesFolder) {
  return found.empty() ? scan.hasAddOn : found.size() == 1 && firstNamesFolder;
}

long writeGroup(platform::Registry& registry, RegKey key, const std::string& name,
                const std::vector<unsigned char>& data) {
  return registry.setValue(key, name.c_str(), platform::kRegSz, data.data(),
                           static_cast<std::uint32_t>(data.size()));
}

// Takes the add-on's values out of the Menus key and renumbers the other group values as
// Group1, Group2, ... in their enumeration order, their data as read.
//
// Whichever registry call fails (or wherever the run is killed), no menu group is lost, and a
// later run finishes the work exactly as one faultless run would have done it:
//  - Only values read as group values are written or deleted. Every setValue makes a value
//    under a name no value has at that moment (so it comes last in the enumeration); a target
//    name that belongs to a value of another kind is skipped for the next free number.
//  - A group value whose data equals an earlier one's is a copy (what an interrupted run
//    leaves) and is deleted; the groups are the first copies, in enumeration order.
//  - A group's value is deleted only after its data is also under a new name, and in an
//    order that keeps the groups' first copies in the groups' order at every step, so that a
//    later run sees the same groups in the same order: new names are made in the groups'
//    order and old ones deleted last group first.
//  - A value naming the add-on stays until the end (when every one of them stands on a target,
//    one is first copied to a new name deleted last), so a later run knows work is left.
bool removeMenuGroups(platform::Registry& registry, RegKey key, const MenuScan& scan) {
  std::vector<const MenuValue*> kept;  // first copies of the user's groups, in order
  std::vector<std::string> copies;     // later copies of them
  std::vector<const MenuValue*> addOns;
  std::set<std::string> foreign;  // values not read as group values
  for (const MenuValue& value : scan.values) {
    if (!value.group) {
      foreign.insert(lowerAscii(value.name));
    } else if (value.addOn) {
      addOns.push_back(&value);
    } else {
      bool copy = false;
      for (const MenuValue* first : kept) copy = copy || first->data == value.data;
      if (copy)
        copies.push_back(value.name);
      else
        kept.push_back(&value);
    }
  }
  std::vector<std::string> targets;
  std::uint64_t number = 0;
  for (size_t i = 0; i < kept.size(); ++i) {
    do ++number;
    while (foreign.count(lowerAscii(groupName(number))));
    targets.push_back(groupName(number));
  }
  // Groups already under their names, in order, stay where they are.
  size_t inPlace = 0;
  while (inPlace < kept.size() && lowerAscii(kept[inPlace]->name) == lowerAscii(targets[inPlace]))
    ++inPlace;
  std::set<std::string> written;  // the targets to be made
  for (size_t i = inPlace; i < kept.size(); ++i) written.insert(lowerAscii(targets[i]));
  FreshNames fresh(scan, std::max(scan.largestNumber, number));
  const long ok = platform::kErrorSuccess;

  for (const std::string& name : copies)
    if (registry.deleteValue(key, name.c_str()) != ok) return false;

  // The add-on's values that stand on a target go before it is made; when that is all of
  // them, a copy of one under a new name marks the unfinished work until the end.
  std::vector<std::string> last;
  bool allOnTargets = !addOns.empty();
  for (const MenuValue* addOn : addOns)
    allOnTargets = allOnTargets && written.count(lowerAscii(addOn->name));
  std::string marker;
  if (allOnTargets) {
    marker = fresh.next();
    if (writeGroup(registry, key, marker, addOns.front()->data) != ok) return false;
  }
  for (const MenuValue* addOn : addOns) {
    if (!written.count(lowerAscii(addOn->name)))
      last.push_back(addOn->name);
    else if (registry.deleteValue(key, addOn->name.c_str()) != ok)
      return false;
  }
  if (!marker.empty()) last.push_back(marker);

  bool onTargets = false;  // a group to be moved stands on a target
  for (size_t i = inPlace; i < kept.size(); ++i)
    onTargets = onTargets || written.count(lowerAscii(kept[i]->name));
  if (onTargets) {
    // Through new names: copy, delete the old names (last first), make the targets, delete
    // the copies (last first).
    std::vector<std::string> temporary;
    for (size_t i = inPlace; i < kept.size(); ++i) {
      temporary.push_back(fresh.next());
      if (writeGroup(registry, key, temporary.back(), kept[i]->data) != ok) return false;
    }
    for (size_t i = kept.size(); i-- > inPlace;)
      if (registry.deleteValue(key, kept[i]->name.c_str()) != ok) return false;
    for (size_t i = inPlace; i < kept.size(); ++i)
      if (writeGroup(registry, key, targets[i], kept[i]->data) != ok) return false;
    for (size_t i = temporary.size(); i-- > 0;)
      if (registry.deleteValue(key, temporary[i].c_str()) != ok) return false;
  } else {
    for (size_t i = inPlace; i < kept.size(); ++i)
      if (writeGroup(registry, key, targets[i], kept[i]->data) != ok) return false;
    for (size_t i = kept.size(); i-- > inPlace;)
      if (registry.deleteValue(key, kept[i]->name.c_str()) != ok) return false;
  }
  for (const std::string& name : last)
    if (registry.deleteValue(key, name.c_str()) != ok) return false;
  return true;
}

// Deletes the add-on's toolbar values; a dry run only counts them in found.
bool removeToolbarValues(platform::Registry& registry, RegKey key, bool dryRun, int* found) {
  for (std::uint32_t index = 0;;) {
    char name[kValueSize];
    std::uint32_t nameSize = kValueSize, type = 0, dataSize = 0;
    long result = registry.enumValue(key, index, name, &nameSize, &type, nullptr, &dataSize);
    if (result == platform::kErrorNoMoreItems) return true;
    if (result != platform::kErrorSuccess) return false;
    if (type == platform::kRegSz &&
        lowerAscii(std::string(name, nameSize)).find("norvex_express") != std::string::npos) {
      ++*found;
      if (!dryRun) {
        if (registry.deleteValue(key, name) != platform::kErrorSuccess) return false;
        continue;  // the following values have moved up
      }
    }
    ++index;
  }
}

ProfileResult registryFailure(long error) {
  if (error == platform::kErrorChangedDuringRun) return ProfileResult::kChangedDuringRun;
  return error == platform::kErrorAccessDenied ? ProfileResult::kReadOnly
                                               : ProfileResult::kRegistryFailed;
}

}  // namespace

ProfileResult RegisterMenuGroup(platform::Registry& registry, const std::string& productKey,
                                const std::string& supportBasePath, const char* profile,
                                ProfileMode mode, int platformFlag, bool dryRun,
                                ProfileReport* report) {
  const std::uint32_t access = platform::kKeyAllAccess | hostView(platformFlag);
  std::string profileKey = productKey + "\\Profiles\\" + profile;
  std::string menusPath = profileKey + "\\Menus", toolbarsPath = profileKey + "\\Toolbars";
  report->target = "HKEY_CURRENT_USER\\" + menusPath;
  if (toolbarsPath.size() >= kKeyPathSize) return ProfileResult::kPathTooLong;

  bool changed = false;
  {
    RegistryKey menus(registry, platform::RegRoot::kCurrentUser, menusPath, access);
    if (!menus.isOpen()) {
      if (menus.error() != platform::kErrorFileNotFound) return registryFailure(menus.error());
      if (mode == ProfileMode::kAdd) return ProfileResult::kNoMenusKey;
    } else {
      MenuScan scan;
      if (!scanMenuGroups(registry, menus.get(), &scan)) return ProfileResult::kRegistryFailed;
      if (mode == ProfileMode::kAdd) {
        const std::vector<const MenuValue*> found = registrations(scan);
        const bool firstNamesFolder = !found.empty() && namesFolder(*found[0], supportBasePath);
        if (isComplete(scan, found, firstNamesFolder)) return ProfileResult::kAlreadyAsAsked;
        std::string data = addOnData(supportBasePath);
        if (data.size() >= kValueSize) return ProfileResult::kPathTooLong;
        if (dryRun) return ProfileResult::kAdded;
        std::vector<unsigned char> bytes(data.c_str(), data.c_str() + data.size() + 1);
        // The first registration is given the folder in place and later ones go; a stop in
        // between leaves one naming the folder, and the next add takes out the rest.
        long result = platform::kErrorSuccess;
        if (found.empty())
          result =
              writeGroup(registry, menus.get(), FreshNames(scan, scan.largestNumber).next(), bytes);
        else if (!firstNamesFolder)
          result = writeGroup(registry, menus.get(), found[0]->name, bytes);
        for (std::size_t i = 1; i < found.size() && result == platform::kErrorSuccess; ++i)
          result = registry.deleteValue(menus.get(), found[i]->name.c_str());
        return result == platform::kErrorSuccess ? ProfileResult::kAdded : registryFailure(result);
      }
      changed = scan.hasAddOn;
      if (scan.hasAddOn && !dryRun && !removeMenuGroups(registry, menus.get(), scan))
        return ProfileResult::kRegistryFailed;
    }
  }
  const ProfileResult done = ProfileResult::kRemoved, unchanged = ProfileResult::kAlreadyAsAsked;
  RegistryKey toolbars(registry, platform::RegRoot::kCurrentUser, toolbarsPath, access);
  if (toolbars.error() == platform::kErrorFileNotFound) return changed ? done : unchanged;
  if (!toolbars.isOpen()) return registryFailure(toolbars.error());
  int found = 0;
  if (!removeToolbarValues(registry, toolbars.get(), dryRun, &found))
    return ProfileResult::kRegistryFailed;
  return changed || found > 0 ? done : unchanged;
}

ProfileResult MenuGroupStatus(platform::Registry& registry, const std::string& productKey,
                              const std::string& supportBasePath, const char* profile,
                              int platformFlag, ProfileReport* report) {
  const std::uint32_t access = platform::kKeyRead | hostView(platformFlag);
  std::string profileKey = productKey + "\\Profiles\\" + profile;
  std::string menusPath = profileKey + "\\Menus", toolbarsPath = profileKey + "\\Toolbars";
  report->target = "HKEY_CURRENT_USER\\" + menusPath;
  if (toolbarsPath.size() >= kKeyPathSize) return ProfileResult::kPathTooLong;
  MenuScan scan;
  int toolbarValues = 0;
  {
    RegistryKey menus(registry, platform::RegRoot::kCurrentUser, menusPath, access);
    if (menus.isOpen() && !scanMenuGroups(registry, menus.get(), &scan))
      return ProfileResult::kRegistryFailed;
    if (!menus.isOpen() && menus.error() != platform::kErrorFileNotFound)
      return registryFailure(menus.error());
  }
  RegistryKey toolbars(registry, platform::RegRoot::kCurrentUser, toolbarsPath, access);
  if (toolbars.isOpen() && !removeToolbarValues(registry, toolbars.get(), true, &toolbarValues))
    return ProfileResult::kRegistryFailed;
  if (!toolbars.isOpen() && toolbars.error() != platform::kErrorFileNotFound)
    return registryFailure(toolbars.error());
  // The add writes the menu group only; toolbar values without it are a leftover.
  const std::vector<const MenuValue*> found = registrations(scan);
  const bool firstNamesFolder = !found.empty() && namesFolder(*found[0], supportBasePath);
  report->state = isComplete(scan, found, firstNamesFolder) ? ProfileState::kPresent
                  : !scan.hasAddOn && toolbarValues == 0    ? ProfileState::kAbsent
                                                            : ProfileState::kPartial;
  if (!found.empty() && !firstNamesFolder) report->reason = ProfileResult::kMovedReference;
  return ProfileResult::kAlreadyAsAsked;
}
