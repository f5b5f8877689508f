#include "core/command_line.h"

#include <limits>

#include "base/ascii_case.h"

namespace brisk {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

CleanupRequest ScanCleanupOptions(const std::vector<std::u16string>& args) {
  CleanupRequest request;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (arg.empty()) continue;
    std::u16string* target = nullptr;
    if (EqualsIgnoringCase(arg, u"-clnx")) {
      target = &request.first;
    } else if (EqualsIgnoringCase(arg, u"-clnd")) {
      target = &request.second;
    } else {
      continue;
    }
    // An option without a value ends the scan; what was found so far stands.
    if (i + 1 >= args.size() || args[i + 1].empty()) break;
    *target = args[++i];
    request.found = true;
  }
  return request;
}

std::int32_t ParseHexOptionValue(std::u16string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
    negative = text[pos] == u'-';
    ++pos;
  }
  // "0x" counts only when a hexadecimal digit follows; otherwise the "0" is
  // the number and the "x" ends it.
  if (pos + 2 < text.size() && text[pos] == u'0' && (text[pos + 1] == u'x' || text[pos + 1] == u'X') &&
      HexDigitValue(text[pos + 2]) >= 0) {
    pos += 2;
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMinMagnitude = kMax + 1;
  std::int64_t magnitude = 0;
  bool overflow = false;
  for (; pos < text.size(); ++pos) {
    const int digit = HexDigitValue(text[pos]);
    if (digit < 0) break;
    if (!overflow) {
      magnitude = magnitude * 16 + digit;
      if (magnitude > kMinMagnitude) overflow = true;
    }
  }
  if (negative) {
    return overflow ? std::numeric_limits<std::int32_t>::min() : static_cast<std::int32_t>(-magnitude);
  }
  if (overflow || magnitude > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(magnitude);
}

LaunchOptions ScanLaunchOptions(const std::vector<std::u16string>& args, std::u16string_view hexOptionPrefix) {
  LaunchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if ((arg == u"-p" || arg == u"-P") && i + 1 < args.size()) {
      // The value is taken, and then examined like any other argument.
      options.commandLinePassword = args[i + 1];
    } else if (StartsWithIgnoringCase(arg, u"-xlstest")) {
      options.testMode = true;
    } else if (!hexOptionPrefix.empty() && StartsWithIgnoringCase(arg, hexOptionPrefix)) {
      options.optionValue = ParseHexOptionValue(std::u16string_view(arg).substr(hexOptionPrefix.size()));
    }
  }
  return options;
}

}  // namespace brisk
