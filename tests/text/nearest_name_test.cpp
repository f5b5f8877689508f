// The name a maker meant, for "did you mean ...?".
#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "text/nearest_name.h"

namespace brisk {
namespace {

constexpr std::string_view kNames[] = {"EULA_TITLE",   "OK_BTN_TITLE", "WARNING_TITLE",
                                       "aux-workbook", "licence",      "icon"};

TEST(NearestNameTest, SlipsFindTheNameAndOthersNothing) {
  const struct {
    std::string_view given;
    std::optional<std::string_view> meant;
  } cases[] = {
      {"EULA_TITEL", "EULA_TITLE"},         // two letters swapped
      {"ok_btn_title", "OK_BTN_TITLE"},     // case
      {"EULA_TITLE ", "EULA_TITLE"},        // a blank at the end
      {"aux_workbook", "aux-workbook"},     // '_' for '-'
      {"license", "licence"},               // one letter changed
      {"WARNING_TITEL", "WARNING_TITLE"},   //
      {"OK_BUTTON_TITLE", "OK_BTN_TITLE"},  // three letters in a long name
      {"OK_TITLE", std::nullopt},           // four
      {"colour", std::nullopt},
      {"icons", "icon"},
      {"ic", std::nullopt},  // a short name allows one difference only
      {"", std::nullopt},
      {"   ", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(NearestName(c.given, kNames), c.meant) << c.given;
}

}  // namespace
}  // namespace brisk
