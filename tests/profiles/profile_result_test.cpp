#include "profiles/profile_result.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// Scripts read the tokens: every result has its own, and a description.
TEST(ProfileResultNames, EveryResultHasItsOwnTokenAndText) {
  std::set<std::string> names, texts;
  const int count = static_cast<int>(ProfileResult::kRetryAtLogon) + 1;
  for (int i = 0; i < count; ++i) {
    ProfileResult result = static_cast<ProfileResult>(i);
    std::string name = profileResultName(result);
    EXPECT_NE(name, "unknown") << i;
    EXPECT_EQ(name.find_first_of(" \t\n"), std::string::npos) << name;
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_TRUE(texts.insert(profileResultText(result)).second) << name;
  }
  EXPECT_EQ(profileResultDone(ProfileResult::kAlreadyAsAsked), true);
  EXPECT_EQ(profileResultDone(ProfileResult::kHostRunning), false);
}

}  // namespace
