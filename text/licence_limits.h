// What a licence text (payload 1105) may be, so that the licence dialog shows
// it quickly and safely: the builder refuses a text beyond these limits, and
// the launcher treats such a payload as a damaged build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace brisk {

// The largest licence payload, in bytes. The rich edit control's automatic
// link detection takes time that grows with the square of the text when
// links are dense: under Wine, 512 KiB of RTF with a link on every line
// takes about 30 s to load and 1 MiB more than 5 minutes, while 512 KiB of
// ordinary text loads in about a second. Real licence texts, RTF included,
// stay far below this.
constexpr std::size_t kMaxLicenceBytes = 512 * 1024;

// The deepest nesting of RTF groups ("{" ... "}") a licence may have, the
// outermost group counted. The rich edit control of Wine crashes from 33
// nested groups on; this keeps a margin of 8. Licences saved by word
// processors nest fewer than a dozen deep.
constexpr int kMaxLicenceRtfGroupDepth = 24;

enum class LicenceTextCheck {
  kAccepted,
  kTooLarge,         // more than kMaxLicenceBytes
  kNestedTooDeeply,  // RTF nested deeper than kMaxLicenceRtfGroupDepth
};

// The deepest nesting of groups in an RTF text, read as the rich edit
// control reads it up to the text's first zero byte: "{" opens a group, "}"
// closes one (never below the top level), and a backslash takes the
// character after it literally, so "\{", "\}" and "\\" open and close
// nothing. Braces inside "\bin" data count like any others, as the control
// of Wine does not skip them.
int RtfGroupDepth(std::string_view rtf);

// Checks a licence payload as it is stored: its size, and the nesting of its
// groups when it is RTF (begins with "{\rtf").
LicenceTextCheck CheckLicenceText(std::span<const std::uint8_t> bytes);

}  // namespace brisk
