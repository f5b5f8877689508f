#include "base/wide_text.h"

#include <windows.h>

#include <climits>

namespace brisk {

std::string AnsiFromWide(std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(wide.size());
  int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, narrow.data(), size, nullptr, nullptr);
  narrow.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  return narrow;
}

bool RoundTripsThroughAnsi(std::wstring_view wide) {
  if (wide.empty() || GetACP() == CP_UTF8) return true;
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) return false;
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, &usedDefault);
  return size > 0 && !usedDefault;
}

}  // namespace brisk
