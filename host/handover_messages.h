// The window messages of the hand-over: the launcher sends them to the host's
// main window, which the add-in has subclassed, after the auxiliary workbook
// has made first contact (kFirstContactCode, host/aux_workbook.h). All are
// sent with SendMessageW except kMsgHandOverDone, which is posted last.
#pragma once

#include <cstdint>

namespace brisk {

enum HandOverMessage : std::uint32_t {
  // wParam: the launcher's process id, from which the add-in builds the names
  // of the ready and close events.
  kMsgLauncherProcessId = 1159,
  // wParam: the host's integer property 1209; lParam: the low 8 bits of the
  // host's user-interface language id, or 0.
  kMsgHostValues = 1181,
  // wParam: the value of the hexadecimal command-line option; only when that
  // option was given.
  kMsgOptionValue = 1178,
  // Only when the launcher knows its executable path.
  kMsgExecutablePath = 1160,
  // Only when the build carries a settings record.
  kMsgSettingsRecord = 1155,
  // Without parameters; what they ask of the add-in is its own affair.
  kMsg1156 = 1156,
  kMsg1157 = 1157,
  kMsg1158 = 1158,
  kMsg1163 = 1163,
  kMsg1164 = 1164,
  kMsg1166 = 1166,
  kMsg1168 = 1168,
  kMsg1179 = 1179,
  // Posted last: the hand-over is complete; the launcher then waits for the
  // add-in's ready event.
  kMsgHandOverDone = 1171,
};

// True for the number of a hand-over message.
constexpr bool IsHandOverMessage(std::uint32_t number) {
  switch (number) {
    case kMsgLauncherProcessId:
    case kMsgHostValues:
    case kMsgOptionValue:
    case kMsgExecutablePath:
    case kMsgSettingsRecord:
    case kMsg1156:
    case kMsg1157:
    case kMsg1158:
    case kMsg1163:
    case kMsg1164:
    case kMsg1166:
    case kMsg1168:
    case kMsg1179:
    case kMsgHandOverDone:
      return true;
    default:
      return false;
  }
}

}  // namespace brisk
