#include "host/host_version.h"

#include <climits>

#include "payload/encoded_strings.h"

namespace brisk {

namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

struct BuildMinimum {
  std::uint16_t major;
  std::uint16_t minimumBuild;
  int notice;
};

// Major 13 has no minimum; majors outside the table are not checked.
constexpr BuildMinimum kBuildMinimums[] = {
    {11, 8173, kHostBuildTooOld11},
    {12, 6607, kHostBuildTooOld12},
    {14, 7015, kHostBuildTooOld14},
    {15, 4569, kHostBuildTooOld15},
};

}  // namespace

int MajorVersionFromText(std::u16string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
    negative = text[pos] == u'-';
    ++pos;
  }
  long long value = 0;
  for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
    value = value * 10 + (text[pos] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int HostBuildGateNotice(const HostFileVersion& version) {
  if (version.build == 0) return 0;
  for (const BuildMinimum& minimum : kBuildMinimums) {
    if (minimum.major == version.major) {
      return version.build < minimum.minimumBuild ? minimum.notice : 0;
    }
  }
  return 0;
}

}  // namespace brisk
