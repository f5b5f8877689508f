// The conformance check of a hand-over: reads what the stand-in add-in
// recorded and reports every way in which the launcher's side deviates from
// the message protocol (handover_contract.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/addin_protocol/addin_log.h"

namespace brisk::addin {

// What the test knows about the launch. Every member is optional: a value
// that is given is checked exactly; one that is not given allows whatever the
// protocol allows in some launch.
struct HandoverExpectation {
  std::optional<std::uint32_t> launcherProcessId;
  std::optional<std::int32_t> intProperty1209;
  std::optional<std::uint8_t> languageByte;
  std::optional<std::int32_t> optionValue;  // 0: no hexadecimal option, message 1178 absent
  std::optional<bool> exePathKnown;         // message 1160
  std::optional<bool> settingsRecord;       // message 1155
  std::optional<bool> completed;            // message 1171: false when the launch ended before it
  std::optional<bool> externalStorage;      // the close event exists at message 1159
  std::optional<bool> visibleAtEnd;         // the host window's visibility at message 1171
  std::optional<bool> iconBeforeHandover;   // WM_SETICON reached the host window before message 1159
  std::optional<bool> quitPosted;           // WM_QUIT was posted to the host window (an aborted launch)
};

// Every deviation as one readable sentence, in the order found; empty when
// the hand-over conforms.
std::vector<std::string> CheckHandover(const AddinLog& log, const HandoverExpectation& expect = {});

}  // namespace brisk::addin
