// The choice of the host's main window among the top-level windows of its
// process that have the host's window class.
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

}  // namespace brisk
