// The hand-over messages the stand-in add-in answers (host/handover_messages.h)
// against the checker's own expectation of the launcher (handover_contract.h).
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "host/aux_workbook.h"
#include "host/handover_messages.h"
#include "tools/addin_protocol/handover_contract.h"

namespace brisk {
namespace {

TEST(HandoverMessages, TheAddinKnowsExactlyTheMessagesTheCheckerExpects) {
  std::set<std::uint32_t> expected;
  for (const addin::HandoverMessage& message : addin::kHandoverMessages) expected.insert(message.number);
  std::set<std::uint32_t> known;
  for (std::uint32_t number = 0; number <= 0xFFFF; ++number) {
    if (IsHandOverMessage(number)) known.insert(number);
  }
  EXPECT_EQ(known, expected);
}

TEST(HandoverMessages, NamedMessagesAgreeWithTheChecker) {
  EXPECT_EQ(kMsgLauncherProcessId, addin::kMsgLauncherProcessId);
  EXPECT_EQ(kMsgHostValues, addin::kMsgHostValues);
  EXPECT_EQ(kMsgOptionValue, addin::kMsgOptionValue);
  EXPECT_EQ(kMsgExecutablePath, addin::kMsgExecutablePath);
  EXPECT_EQ(kMsgSettingsRecord, addin::kMsgSettingsRecord);
  EXPECT_EQ(kMsgHandOverDone, addin::kMsgHandOverDone);
  EXPECT_EQ(kFirstContactCode, addin::kFirstContactCode);
}

}  // namespace
}  // namespace brisk
