// Portable rules of the host layer: version texts, the build gate, the
// product-code mark, the main-window choice and the auxiliary workbook.
#include <gtest/gtest.h>

#include "host/aux_workbook.h"
#include "host/host_call_result.h"
#include "host/host_version.h"
#include "host/product_code.h"
#include "host/window_choice.h"
#include "payload/encoded_strings.h"

namespace brisk {
namespace {

TEST(MajorVersionFromText, ReadsLeadingDigitsAsWtoiDoes) {
  const struct {
    std::u16string_view text;
    int major;
  } cases[] = {
      {u"15.0", 15},
      {u"", 0},
      {u"16", 16},
      {u"9.0", 9},
      {u"  12.0", 12},
      {u"\t14.0", 14},
      {u"+11.0", 11},
      {u"-3.0", -3},
      {u"x15", 0},
      {u".5", 0},
      {u"015.0", 15},
      {u"14abc", 14},
      {u"1 5", 1},
      {u"99999999999", 2147483647},
      {u"-99999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MajorVersionFromText(c.text), c.major) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(HostBuildGateNotice, StopsOnlyBuildsBelowTheMinimumOfTheirMajor) {
  const struct {
    HostFileVersion version;
    int notice;
  } cases[] = {
      {{11, 0, 8172, 0}, kHostBuildTooOld11},
      {{11, 0, 8173, 0}, 0},
      {{11, 0, 1, 0}, kHostBuildTooOld11},
      {{12, 0, 6606, 0}, kHostBuildTooOld12},
      {{12, 0, 6607, 0}, 0},
      {{13, 0, 1, 0}, 0},
      {{14, 0, 7014, 0}, kHostBuildTooOld14},
      {{14, 0, 7015, 0}, 0},
      {{15, 0, 4568, 0}, kHostBuildTooOld15},
      {{15, 0, 4569, 0}, 0},
      {{15, 0, 0, 0}, 0},
      {{16, 0, 1, 0}, 0},
      {{10, 0, 1, 0}, 0},
      {{0, 0, 0, 0}, 0},
      // Minor and revision do not count.
      {{15, 9, 4568, 9999}, kHostBuildTooOld15},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostBuildGateNotice(c.version), c.notice)
        << c.version.major << "." << c.version.minor << "." << c.version.build;
  }
}

TEST(HostFileVersionFromWords, SplitsTheTwoDoubleWords) {
  const HostFileVersion expected{15, 2, 4569, 1001};
  EXPECT_EQ(HostFileVersionFromWords(0x000F0002, 0x11D903E9), expected);
}

TEST(IsProductCode64Bit, MarksOnlyTheFourthGroup1000) {
  EXPECT_TRUE(IsProductCode64Bit(0x10, 0x00));
  EXPECT_FALSE(IsProductCode64Bit(0x00, 0x00));
  EXPECT_FALSE(IsProductCode64Bit(0x00, 0x10));
  EXPECT_FALSE(IsProductCode64Bit(0x10, 0x01));
  EXPECT_FALSE(IsProductCode64Bit(0x11, 0x00));
}

TEST(ChooseHostWindow, FollowsTheCandidates) {
  const std::uintptr_t reported = 0x99;
  const struct {
    const char* name;
    std::vector<WindowCandidate> candidates;
    std::u16string caption;
    std::uintptr_t chosen;
  } cases[] = {
      {"none", {}, u"Main", reported},
      {"one, title ignored", {{0x10, u"Other"}}, u"Main", 0x10},
      {"two, second matches", {{0x10, u"Other"}, {0x20, u"Main"}}, u"Main", 0x20},
      {"two, both match", {{0x10, u"Main"}, {0x20, u"Main"}}, u"Main", 0x10},
      {"two, none matches", {{0x10, u"Other"}, {0x20, u"Side"}}, u"Main", reported},
      {"case matters", {{0x10, u"main"}, {0x20, u"MAIN"}}, u"Main", reported},
      {"empty caption matches empty title", {{0x10, u"Other"}, {0x20, u""}}, u"", 0x20},
      {"three, last matches", {{0x10, u"A"}, {0x20, u"B"}, {0x30, u"Main"}}, u"Main", 0x30},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseHostWindow(reported, c.candidates, c.caption), c.chosen) << c.name;
  }
}

// Below version 14 a user's own host may match class and caption: the
// hidden window, the launcher's, wins over the visible ones before it.
TEST(ChooseOldHostWindow, PrefersTheHiddenWindow) {
  const struct {
    const char* name;
    std::vector<OldHostWindowCandidate> candidates;
    std::uintptr_t chosen;
  } cases[] = {
      {"none", {}, 0},
      {"one hidden", {{0x10, false}}, 0x10},
      {"the user's visible one first", {{0x10, true}, {0x20, false}}, 0x20},
      {"two hidden: the first", {{0x10, true}, {0x20, false}, {0x30, false}}, 0x20},
      {"only visible ones: the first, as the system's search", {{0x10, true}, {0x20, true}}, 0x10},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseOldHostWindow(c.candidates), c.chosen) << c.name;
  }
}

TEST(AuxWorkbook, IsRecognisedByItsMagicOnly) {
  const std::vector<std::uint8_t> made = MakeAuxWorkbook();
  EXPECT_TRUE(IsAuxWorkbook(made.data(), made.size()));
  std::vector<std::uint8_t> longer = made;
  longer.insert(longer.end(), {'x', 0, 0xFF});
  EXPECT_TRUE(IsAuxWorkbook(longer.data(), longer.size()));
  EXPECT_FALSE(IsAuxWorkbook(made.data(), made.size() - 1));
  std::vector<std::uint8_t> changed = made;
  changed[0] ^= 0x20;
  EXPECT_FALSE(IsAuxWorkbook(changed.data(), changed.size()));
  EXPECT_FALSE(IsAuxWorkbook(nullptr, 0));
  const std::uint8_t compoundDocument[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  EXPECT_FALSE(IsAuxWorkbook(compoundDocument, sizeof compoundDocument));
}

// The launcher writes the add-in under encoded string 48; the auxiliary
// workbook loads it under its own name: the two must agree.
TEST(AuxWorkbook, AddinNameAgreesWithTheLaunchersFileName) {
  EXPECT_EQ(GetEncodedStringA(kAddinFileName), kAuxAddinFileName);
  EXPECT_EQ(kFirstContactCode, 0x400 + 146);
}

}  // namespace
}  // namespace brisk

namespace brisk {
namespace {

// Each code the host may answer, and what the launch makes of it; a start
// that failed is tried again as `startRetried` says when the failure came
// back quickly, and only for a busy or ending host when it took long.
struct HostResultCase {
  std::uint32_t hr;
  bool processGone;
  bool busy;
  bool startRetried;
  bool retriedAfterALongWait;
  bool notAnswered = false;  // a call that ended so never answered
};

TEST(HostCallResult, TellsADeadHostFromABusyOrRefusingOne) {
  const HostResultCase cases[] = {
      {host_result::kCallFailed, true, false, true, false},        // died during the call
      {host_result::kServerUnavailable, true, false, true, true},  // gone before the call
      {host_result::kCallFailedDne, true, false, true, false},
      {host_result::kServerDied, true, false, true, true},
      {host_result::kDisconnected, false, false, true, true},  // a living host let go of the object
      {host_result::kObjectNotConnected, false, false, true, true},
      {host_result::kServerCallRetryLater, false, true, true, true},  // busy, retry later
      {host_result::kCallRejected, false, true, true, true, true},
      {host_result::kCallCanceled, false, false, true, false, true},  // given up by the user: not dead
      {host_result::kServerStopping, false, false, true, true},
      {0x80020009, false, false, true, false},  // DISP_E_EXCEPTION
      {0x80080005, false, false, true, false},  // CO_E_SERVER_EXEC_FAILURE: after the activation time-out, not again
      {host_result::kClassNotRegistered, false, false, false, false},  // not installed
      {host_result::kAccessDenied, false, false, false, false},
      {host_result::kAppNotFound, false, false, false, false},
  };
  for (const HostResultCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.hr);
    EXPECT_EQ(HostProcessIsGone(c.hr), c.processGone);
    EXPECT_EQ(HostIsBusy(c.hr), c.busy);
    EXPECT_EQ(HostStartMayBeRetried(c.hr, true), c.startRetried);
    EXPECT_EQ(HostStartMayBeRetried(c.hr, false), c.retriedAfterALongWait);
    EXPECT_EQ(HostCallNotAnswered(c.hr), c.notAnswered);
  }
}

}  // namespace
}  // namespace brisk
