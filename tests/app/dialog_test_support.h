// Fakes for the dialog tests: profile operations that record every call, and a dialog UI
// whose selection is scripted and whose message boxes are recorded.
#pragma once

#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog_logic.h"
#include "profiles/profile_operations.h"

class FakeOperations : public ProfileOperations {
 public:
  std::vector<std::string> profiles;
  std::set<std::string> failing;   // profiles whose update returns false
  std::vector<std::string> calls;  // "add:NAME", "remove:NAME", "list"
  std::deque<bool> hostRuns;       // one answer per check; none left means not running
  int hostChecks = 0;

  bool ListProfiles(std::vector<std::string>* out) override {
    calls.push_back("list");
    out->insert(out->end(), profiles.begin(), profiles.end());
    return true;
  }
  bool AddToProfile(const char* profile) override {
    calls.push_back(std::string("add:") + profile);
    return failing.count(profile) == 0;
  }
  bool RemoveFromProfile(const char* profile) override {
    calls.push_back(std::string("remove:") + profile);
    return failing.count(profile) == 0;
  }
  bool HostIsRunning() override {
    ++hostChecks;
    if (hostRuns.empty()) return false;
    bool runs = hostRuns.front();
    hostRuns.pop_front();
    return runs;
  }
  std::vector<std::string> updates() const {
    std::vector<std::string> out;
    for (const auto& call : calls)
      if (call != "list") out.push_back(call);
    return out;
  }
};

class ScriptedUi : public DialogUi {
 public:
  struct Choice {
    bool confirmed;
    int index;
  };
  std::deque<Choice> choices;  // one per selection dialog; none left means cancel
  struct Asked {
    std::vector<std::string> profiles;
    bool remove;
  };
  std::vector<Asked> asked;
  std::vector<std::pair<int, unsigned>> messages;

  bool chooseProfile(const std::vector<std::string>& profiles, bool remove, int* chosen) override {
    asked.push_back({profiles, remove});
    if (choices.empty()) return false;
    Choice choice = choices.front();
    choices.pop_front();
    if (choice.confirmed) *chosen = choice.index;
    return choice.confirmed;
  }
  void showMessage(int messageId, unsigned icon) override {
    messages.emplace_back(messageId, icon);
  }
};
