#include "core/working_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

namespace brisk {
namespace {

// Hands out a fixed sequence of draws and counts them.
struct ScriptedRandom {
  std::vector<int> values;
  std::size_t next = 0;
  int operator()() { return values.at(next++); }
};

TEST(RandomNameTest, MapsDrawsToDigitsAndLetters) {
  ScriptedRandom draws{{10, 0, 35, 9 + 36, 11, 1, 12, 2}};
  EXPECT_EQ(RandomName(8, std::ref(draws)), "a0z9b1c2");
}

TEST(RandomNameTest, RejectsLeadingDigitAndRepeatTwoBack) {
  // 3: a digit first, drawn again; the second 10 ('a') and the second 11
  // ('b') repeat the character two places back and are drawn again; the
  // final 2 follows "abcd", two back of it is 'c', so it stands.
  ScriptedRandom draws{{3, 10, 11, 10, 12, 11, 13, 2}};
  EXPECT_EQ(RandomName(5, std::ref(draws)), "abcd2");
  EXPECT_EQ(draws.next, draws.values.size());
}

TEST(RandomNameTest, DefaultGeneratorKeepsTheRules) {
  std::srand(12345);
  for (int i = 0; i < 2000; ++i) {
    const std::string name = RandomName(kWorkingFolderNameLength);
    ASSERT_EQ(name.size(), 8u);
    EXPECT_TRUE(name[0] >= 'a' && name[0] <= 'z') << name;
    for (std::size_t k = 0; k < name.size(); ++k) {
      const char c = name[k];
      EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) << name;
      if (k >= 2) EXPECT_NE(c, name[k - 2]) << name;
    }
  }
}

}  // namespace
}  // namespace brisk
