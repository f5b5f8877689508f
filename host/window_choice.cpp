#include "host/window_choice.h"

namespace brisk {

std::uintptr_t ChooseHostWindow(std::uintptr_t reported, const std::vector<WindowCandidate>& candidates,
                                std::u16string_view caption) {
  if (candidates.size() == 1) return candidates.front().handle;
  for (const WindowCandidate& candidate : candidates) {
    if (candidate.title == caption) return candidate.handle;
  }
  return reported;
}

std::uintptr_t ChooseOldHostWindow(const std::vector<OldHostWindowCandidate>& candidates) {
  for (const OldHostWindowCandidate& candidate : candidates) {
    if (!candidate.visible) return candidate.handle;
  }
  return candidates.empty() ? 0 : candidates.front().handle;
}

}  // namespace brisk
