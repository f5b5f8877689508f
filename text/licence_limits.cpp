#include "text/licence_limits.h"

#include <algorithm>

namespace brisk {

int RtfGroupDepth(std::string_view rtf) {
  rtf = rtf.substr(0, rtf.find('\0'));
  int depth = 0;
  int deepest = 0;
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    switch (rtf[i]) {
      case '\\':
        ++i;
        break;
      case '{':
        deepest = std::max(deepest, ++depth);
        break;
      case '}':
        if (depth > 0) --depth;
        break;
    }
  }
  return deepest;
}

LicenceTextCheck CheckLicenceText(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxLicenceBytes) return LicenceTextCheck::kTooLarge;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("{\\rtf") && RtfGroupDepth(text) > kMaxLicenceRtfGroupDepth) {
    return LicenceTextCheck::kNestedTooDeeply;
  }
  return LicenceTextCheck::kAccepted;
}

}  // namespace brisk
