// The fixture of every scenario: a fresh Scenario, and at the end every
// process of it that still runs ended and reported as a failure.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "payload/encoded_strings.h"
#include "scenario.h"

namespace brisk::e2e {

class E2eTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& left : scenario_.EndLeftovers()) ADD_FAILURE() << left;
    if (HasFailure()) std::cerr << scenario_.Diagnostics();
  }

  // The message box of a refused start, within `boxWithin`: read, answered
  // with OK; the launcher then ends with 0 within `exitWithin`.
  MessageBoxText AnswerMessageBox(LauncherRun& run, DWORD boxWithin = kDialogMs, DWORD exitWithin = kLaunchMs) {
    HWND box = run.WaitForMessageBox(boxWithin);
    EXPECT_NE(box, nullptr) << "no message box appeared: the launch ended without a word, or did not end";
    if (!box) return {};
    const MessageBoxText seen = ReadMessageBox(box);
    PressButton(box, IDOK);
    EXPECT_EQ(run.WaitForExit(exitWithin), std::optional<DWORD>(0));
    return seen;
  }

  // The question after the host's silence limit, within `within`: read and
  // answered with `button` (IDRETRY or IDCANCEL).
  MessageBoxText AnswerQuestion(LauncherRun& run, int button, DWORD within = kDialogMs) {
    HWND box = run.WaitForQuestion(within);
    EXPECT_NE(box, nullptr) << "the user was not asked";
    if (!box) return {};
    const MessageBoxText seen = ReadMessageBox(box);
    PressButton(box, button);
    return seen;
  }

  // After an aborted start: no host left, no file left.
  void ExpectNothingLeft() {
    EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "a host is still running";
    EXPECT_THAT(scenario_.TempTree(), ::testing::IsEmpty());
  }

  // What a launch left for later (the files of a host that ran on) goes
  // with the sweep of the next start, once the host has ended: a start that
  // finds no host, here, and says so.
  void ExpectTheNextStartSweepsItAway() {
    scenario_.UnregisterHost();
    auto next = scenario_.Start(L"-xlstest");
    EXPECT_EQ(AnswerMessageBox(*next).text, Wide(GetEncodedStringA(kHostNotCreated)));
    EXPECT_THAT(scenario_.TempTree(), ::testing::IsEmpty()) << "the next start did not sweep what was left";
  }

  Scenario scenario_;
};

}  // namespace brisk::e2e
