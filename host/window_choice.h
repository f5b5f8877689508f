// The choice of the host's main window among the top-level windows that
// have the host's window class.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisk {

struct WindowCandidate {
  std::uintptr_t handle = 0;
  std::u16string title;
};

// `candidates` in enumeration order. Exactly one candidate wins; with none,
// `reported` stays; with several, the first whose title equals `caption`
// exactly (case-sensitive) wins, else `reported` stays.
std::uintptr_t ChooseHostWindow(std::uintptr_t reported, const std::vector<WindowCandidate>& candidates,
                                std::u16string_view caption);

// Hosts below major version 14 report no window: it is found by class and
// caption, which the window of a host the user runs may share (a host with
// no workbook open shows the bare product name). The host the launcher
// started is hidden (it is set invisible right after its start), so among
// the windows that match, in the system's order, the first hidden one wins;
// without a hidden one the first stays, as the system's own search answers;
// none gives 0.
struct OldHostWindowCandidate {
  std::uintptr_t handle = 0;
  bool visible = false;
};
std::uintptr_t ChooseOldHostWindow(const std::vector<OldHostWindowCandidate>& candidates);

}  // namespace brisk
