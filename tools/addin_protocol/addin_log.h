// The stand-in add-in's log: one JSON object per line, each with a running
// "seq" number and a "kind". The add-in writes it; tests and the conformance
// check read it.
//
//   attach   DummyFunc9 was called: code, application (non-null), third,
//            windows (host windows subclassed), process, bits, module
//   cmdfile  the command-line file beside the add-in: path, found, lineFeed,
//            commandLine, workbookPath, workbookExists
//   message  a window message of the WM_USER range on a subclassed window:
//            order (1, 2, ... per attach), msg, wParam, lParam, delivery,
//            visible (the window's visibility then), window (its handle)
//   events   after message 1159: pid, close and ready (the names built),
//            closeExists, readyExists
//   signal   event ("ready" or "close"), action, delayMs, state
//   system   a window message outside the hand-over that the launcher gives a
//            subclassed window: WM_SETICON as it reached the window
//            procedure, WM_QUIT as it left the queue: msg, wParam, lParam,
//            delivery, window
//   call     an export other than DummyFunc9 was called: function
//   note     anything else worth knowing (configuration faults): text
//   dialog   the configured message box closed (addin_config.h): msg, window,
//            dialogMs (configured), shownMs (measured), closedByTimer (false
//            when something else closed it)
//   hang     the configured hang begins: msg, window, hangMs
//   crash    the configured crash is about to end the host: msg, window,
//            exitCode
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::addin {

// How a message reached the window procedure.
enum class Delivery {
  Send,      // SendMessage from another thread: the sender waited for the reply
  Notify,    // SendNotifyMessage: the sender did not wait
  Callback,  // SendMessageCallback: the sender did not wait
  Post,      // taken from the message queue
  Direct,    // called by the window's own thread (SendMessage or CallWindowProc)
};

std::string_view DeliveryName(Delivery delivery);
std::optional<Delivery> ParseDelivery(std::string_view name);

struct AttachRecord {
  std::uint64_t seq = 0;
  std::int64_t code = 0;
  bool application = false;
  std::int64_t third = 0;
  int windows = 0;
  std::uint32_t process = 0;
  int bits = 0;
  std::string module;
};

struct CommandFileRecord {
  std::uint64_t seq = 0;
  std::string path;
  bool found = false;
  bool lineFeed = false;
  std::string commandLine;
  std::string workbookPath;
  bool workbookExists = false;
};

struct MessageRecord {
  std::uint64_t seq = 0;
  int order = 0;
  std::uint32_t number = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  Delivery delivery = Delivery::Send;
  bool visible = false;
  std::uint64_t window = 0;
};

struct EventsRecord {
  std::uint64_t seq = 0;
  std::uint32_t pid = 0;
  std::string closeName;
  std::string readyName;
  bool closeExists = false;
  bool readyExists = false;
};

struct SignalRecord {
  std::uint64_t seq = 0;
  std::string event;   // "ready" or "close"
  std::string action;  // "signal", "delay" or "never"
  std::uint32_t delayMs = 0;
  // "scheduled", "signalled", "skipped" (never), "missing" (no event),
  // "failed" (SetEvent failed)
  std::string state;
};

struct SystemMessageRecord {
  std::uint64_t seq = 0;
  std::uint32_t number = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  Delivery delivery = Delivery::Send;
  std::uint64_t window = 0;
};

struct CallRecord {
  std::uint64_t seq = 0;
  std::string function;
};

struct NoteRecord {
  std::uint64_t seq = 0;
  std::string text;
};

struct DialogRecord {
  std::uint64_t seq = 0;
  std::uint32_t number = 0;
  std::uint64_t window = 0;
  std::uint32_t dialogMs = 0;
  std::uint32_t shownMs = 0;
  bool closedByTimer = false;
};

struct HangRecord {
  std::uint64_t seq = 0;
  std::uint32_t number = 0;
  std::uint64_t window = 0;
  std::uint32_t hangMs = 0;
};

// A configured broadcast: how many top-level windows were sent the message,
// how many of them belong to the launcher (whose process id came with
// message 1159; 0 before it), and the longest time one of them, and one of
// the launcher's, took to answer.
struct BroadcastRecord {
  std::uint64_t seq = 0;
  std::uint32_t number = 0;
  std::uint32_t windows = 0;
  std::uint32_t launcherWindows = 0;
  std::uint32_t longestMs = 0;
  std::uint32_t longestLauncherMs = 0;
};

struct CrashRecord {
  std::uint64_t seq = 0;
  std::uint32_t number = 0;
  std::uint64_t window = 0;
  std::uint32_t exitCode = 0;
};

std::string FormatLogLine(const AttachRecord& record);
std::string FormatLogLine(const CommandFileRecord& record);
std::string FormatLogLine(const MessageRecord& record);
std::string FormatLogLine(const EventsRecord& record);
std::string FormatLogLine(const SignalRecord& record);
std::string FormatLogLine(const SystemMessageRecord& record);
std::string FormatLogLine(const CallRecord& record);
std::string FormatLogLine(const NoteRecord& record);
std::string FormatLogLine(const DialogRecord& record);
std::string FormatLogLine(const HangRecord& record);
std::string FormatLogLine(const CrashRecord& record);
std::string FormatLogLine(const BroadcastRecord& record);

struct AddinLog {
  std::vector<AttachRecord> attaches;
  std::vector<CommandFileRecord> commandFiles;
  std::vector<MessageRecord> messages;
  std::vector<EventsRecord> events;
  std::vector<SignalRecord> signals;
  std::vector<SystemMessageRecord> systemMessages;
  std::vector<CallRecord> calls;
  std::vector<NoteRecord> notes;
  // What the add-in was configured to do to the host, apart from the hand-over.
  std::vector<DialogRecord> dialogs;
  std::vector<HangRecord> hangs;
  std::vector<CrashRecord> crashes;
  std::vector<BroadcastRecord> broadcasts;
  // Lines that could not be read, each with its line number.
  std::vector<std::string> faults;
};

// Reads a whole log. Empty lines are skipped; a last line without its line
// feed is read too.
AddinLog ParseAddinLog(std::string_view text);

}  // namespace brisk::addin
