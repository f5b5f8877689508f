// The fixture of every scenario: a fresh Scenario, and at the end every
// process of it that still runs ended and reported as a failure.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "scenario.h"

namespace brisk::e2e {

class E2eTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& left : scenario_.EndLeftovers()) ADD_FAILURE() << left;
    if (HasFailure()) std::cerr << scenario_.Diagnostics();
  }

  // The message box of a refused start: read, answered with OK; the
  // launcher then ends with 0.
  MessageBoxText AnswerMessageBox(LauncherRun& run) {
    HWND box = run.WaitForMessageBox();
    EXPECT_NE(box, nullptr) << "no message box appeared";
    if (!box) return {};
    const MessageBoxText seen = ReadMessageBox(box);
    PressButton(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    return seen;
  }

  // After an aborted start: no host left, no file left.
  void ExpectNothingLeft() {
    EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "a host is still running";
    EXPECT_THAT(scenario_.TempTree(), ::testing::IsEmpty());
  }

  Scenario scenario_;
};

}  // namespace brisk::e2e
