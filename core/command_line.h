// The launcher's command line: the clean-up options and the launch options.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisk {

// "-clnx FIRST" and "-clnd SECOND": the files that clean-up mode removes.
struct CleanupRequest {
  bool found = false;
  std::u16string first;
  std::u16string second;
};

CleanupRequest ScanCleanupOptions(const std::vector<std::u16string>& args);

struct LaunchOptions {
  std::u16string commandLinePassword;
  bool testMode = false;
  std::int32_t optionValue = 0;
  // Not on the command line: the silence limit a test asks for, from the
  // entry point's environment (core/launch_plan.h); 0 for none.
  std::uint32_t testHostSilenceLimitMs = 0;
};

// Scans every argument, the executable's own path included. hexOptionPrefix
// is the six-character prefix of the hexadecimal option.
LaunchOptions ScanLaunchOptions(const std::vector<std::u16string>& args, std::u16string_view hexOptionPrefix);

// Base-16 number as the C library's wcstol reads it with a 32-bit long:
// leading blanks, a sign and "0x" accepted, stops at the first non-digit,
// 0 without digits, saturates beyond the signed 32-bit range.
std::int32_t ParseHexOptionValue(std::u16string_view text);

}  // namespace brisk
