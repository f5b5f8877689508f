// The limits of a licence text: its size and the nesting of its RTF groups.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/licence_limits.h"

namespace brisk {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// An RTF document whose groups nest `depth` deep, the outermost counted.
std::string NestedRtf(int depth) {
  return "{\\rtf1\\ansi " + std::string(depth - 1, '{') + "deep" + std::string(depth - 1, '}') + "}";
}

TEST(RtfGroupDepth, CountsGroupsAsTheControlReadsThem) {
  struct Case {
    std::string rtf;
    int depth;
  };
  const Case cases[] = {
      {"", 0},
      {"no groups", 0},
      {"{\\rtf1 plain}", 1},
      {"{\\rtf1 {\\b bold} {\\i {\\ul both}}}", 3},
      {NestedRtf(24), 24},
      {NestedRtf(33), 33},
      // Escaped braces and backslashes open and close nothing.
      {"{\\rtf1 \\{\\{\\{ \\}}", 1},
      {"{\\rtf1 \\\\{x}}", 2},
      // Closing more groups than are open never goes below the top level.
      {"{\\rtf1 x}}}}}{{y}}", 2},
      // Only the text before the first zero byte reaches the control.
      {std::string("{\\rtf1 x}\0{{{{", 13), 1},
      // Braces in binary data count: the control does not skip them.
      {"{\\rtf1 {\\pict\\bin4 {{{{}}}", 6},
      // A backslash at the very end reads nothing after it.
      {"{\\rtf1 x\\", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(RtfGroupDepth(c.rtf), c.depth) << c.rtf;
}

TEST(LicenceTextCheck, SizeAndNestingLimits) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    LicenceTextCheck expected;
  };
  const Case cases[] = {
      {Bytes("Plain terms."), LicenceTextCheck::kAccepted},
      {std::vector<std::uint8_t>(kMaxLicenceBytes, 'a'), LicenceTextCheck::kAccepted},
      {std::vector<std::uint8_t>(kMaxLicenceBytes + 1, 'a'), LicenceTextCheck::kTooLarge},
      {Bytes(NestedRtf(kMaxLicenceRtfGroupDepth)), LicenceTextCheck::kAccepted},
      {Bytes(NestedRtf(kMaxLicenceRtfGroupDepth + 1)), LicenceTextCheck::kNestedTooDeeply},
      // Braces of a text that is no RTF mean nothing to the control.
      {Bytes(std::string(100, '{')), LicenceTextCheck::kAccepted},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckLicenceText(c.bytes), c.expected) << c.bytes.size() << " bytes";
}

TEST(LicenceTextCheck, OversizedRtfIsTooLargeWhateverItsNesting) {
  std::string rtf = NestedRtf(kMaxLicenceRtfGroupDepth + 1);
  rtf.resize(kMaxLicenceBytes + 1, ' ');
  EXPECT_EQ(CheckLicenceText(Bytes(rtf)), LicenceTextCheck::kTooLarge);
}

}  // namespace
}  // namespace brisk
