#include "licence_check.h"

#include "text/licence_limits.h"

namespace brisk {

std::string LicenceRefusal(const PayloadBuffer& licence, const std::filesystem::path& path) {
  const std::string_view text(reinterpret_cast<const char*>(licence.data()), licence.size());
  switch (CheckLicenceText(licence)) {
    case LicenceTextCheck::kAccepted:
      return {};
    case LicenceTextCheck::kTooLarge:
      return "licence " + path.string() + " has " + std::to_string(licence.size()) + " bytes; at most " +
             std::to_string(kMaxLicenceBytes) + " are allowed (shorten it, or save it without pictures)";
    case LicenceTextCheck::kNestedTooDeeply:
      return "licence " + path.string() + " nests RTF groups " + std::to_string(RtfGroupDepth(text)) +
             " deep; at most " + std::to_string(kMaxLicenceRtfGroupDepth) + " are allowed";
  }
  return {};
}

}  // namespace brisk
