// Plays the launcher's side of a hand-over from a process of its own, as the
// real launcher does: handover_sender WINDOW STEP...
//   WINDOW  the host window's handle, decimal
//   STEP    s:MSG:WPARAM:LPARAM (SendMessageW), p:... (PostMessageW),
//           n:... (SendNotifyMessageW), hide or show
// Exit code 0 when every step was understood, 2 otherwise.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool RunStep(HWND window, const std::string& step) {
  // ShowWindow reports the earlier visibility, not success.
  if (step == "hide" || step == "show") {
    ShowWindow(window, step == "hide" ? SW_HIDE : SW_SHOWNA);
    return true;
  }
  if (step.size() < 2 || step[1] != ':') return false;
  char* end = nullptr;
  const char* text = step.c_str() + 2;
  const auto message = static_cast<UINT>(std::strtoul(text, &end, 10));
  if (*end != ':') return false;
  const auto wParam = static_cast<WPARAM>(std::strtoull(end + 1, &end, 10));
  if (*end != ':') return false;
  const auto lParam = static_cast<LPARAM>(std::strtoll(end + 1, &end, 10));
  if (*end != '\0') return false;
  switch (step[0]) {
    case 's':
      SendMessageW(window, message, wParam, lParam);
      return true;
    case 'p':
      return PostMessageW(window, message, wParam, lParam) != FALSE;
    case 'n':
      return SendNotifyMessageW(window, message, wParam, lParam) != FALSE;
    default:
      return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const auto window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[1], nullptr, 10)));
  for (int i = 2; i < argc; ++i) {
    if (!RunStep(window, argv[i])) return 2;
  }
  return 0;
}
