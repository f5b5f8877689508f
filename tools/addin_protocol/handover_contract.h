// The launcher's side of the hand-over to the add-in, as data: the window
// messages in the order the launcher issues them, with their delivery, their
// parameters and the condition under which each is issued.
//
// The checker's own expectation, kept apart from host/handover_messages.h on
// purpose, so that it checks the launcher independently; the names are the
// same.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace brisk::addin {

// The first argument of DummyFunc9 when the auxiliary workbook makes first contact.
constexpr std::int32_t kFirstContactCode = 1170;

constexpr std::uint32_t kMsgLauncherProcessId = 1159;  // wParam: the launcher's process id
constexpr std::uint32_t kMsgHostValues = 1181;         // wParam: property 1209, lParam: language byte
constexpr std::uint32_t kMsgOptionValue = 1178;        // wParam: the hexadecimal option's value
constexpr std::uint32_t kMsgExecutablePath = 1160;
constexpr std::uint32_t kMsgSettingsRecord = 1155;
constexpr std::uint32_t kMsgHandOverDone = 1171;  // the last one, posted

// Window messages outside the hand-over, with the numbers Windows gives them.
// A launch that shows its icon sends the icon to the host's main window
// before message 1159 (WM_SETICON, wParam ICON_BIG, lParam the icon); an
// aborted launch that knows that window posts WM_QUIT to it.
constexpr std::uint32_t kMsgSetIcon = 0x0080;
constexpr std::uint64_t kIconBig = 1;
constexpr std::uint32_t kMsgQuit = 0x0012;

// What the launcher puts into a parameter.
enum class ParamRule {
  Zero,
  ProcessId,        // the launcher's process id
  IntProperty1209,  // the host's integer property 1209, as 32 bits
  LanguageByte,     // low 8 bits of the host's UI language id, or 0
  OptionValue,      // the value of the hexadecimal option, as 32 bits
};

// When the launcher issues a message.
enum class Presence {
  Always,
  WhenOptionValue,     // the hexadecimal option was given (value not 0)
  WhenExePath,         // the launcher knows its executable path
  WhenSettingsRecord,  // the raw build settings record is not empty
  UnlessEndedEarly,    // the launch did not end between the last two messages
};

struct HandoverMessage {
  std::uint32_t number;
  bool posted;  // PostMessageW; every other message is sent with SendMessageW
  ParamRule wParam;
  ParamRule lParam;
  Presence presence;
};

inline constexpr std::array<HandoverMessage, 14> kHandoverMessages = {{
    {kMsgLauncherProcessId, false, ParamRule::ProcessId, ParamRule::Zero, Presence::Always},
    {kMsgHostValues, false, ParamRule::IntProperty1209, ParamRule::LanguageByte, Presence::Always},
    {kMsgOptionValue, false, ParamRule::OptionValue, ParamRule::Zero, Presence::WhenOptionValue},
    {kMsgExecutablePath, false, ParamRule::Zero, ParamRule::Zero, Presence::WhenExePath},
    {1156, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {1158, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {1166, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {kMsgSettingsRecord, false, ParamRule::Zero, ParamRule::Zero, Presence::WhenSettingsRecord},
    {1157, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {1164, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {1168, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {1163, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {1179, false, ParamRule::Zero, ParamRule::Zero, Presence::Always},
    {kMsgHandOverDone, true, ParamRule::Zero, ParamRule::Zero, Presence::UnlessEndedEarly},
}};

// Position of a message in kHandoverMessages, or -1 for a number that is not
// part of the hand-over.
int HandoverIndex(std::uint32_t number);

}  // namespace brisk::addin
