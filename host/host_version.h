// Rules on the host's version: its major number, what each major version
// does differently during a launch, and the minimum builds.
#pragma once

#include <string_view>

#include "host/host_file_version.h"

namespace brisk {

// The value of the leading decimal digits of a version text, read as _wtoi
// reads it (leading white space and a sign allowed); 0 when there are none.
// Saturates instead of overflowing.
int MajorVersionFromText(std::u16string_view text);

// Major version 14 is the first that comes in two bitnesses (told by its
// product code), reports its main window's handle and takes the integer
// property 2788. Older hosts are 32-bit and are never asked any of it.
inline constexpr int kFirstMajorWithBitness = 14;
constexpr bool HostHasBitness(int major) { return major >= kFirstMajorWithBitness; }
constexpr bool HostReportsMainWindow(int major) { return major >= kFirstMajorWithBitness; }
constexpr bool HostTakesProperty2788(int major) { return major >= kFirstMajorWithBitness; }

// With the build's host version checks: a host of major version 9 or lower
// is refused, and one below 12 cannot open a new-format workbook.
constexpr bool HostTooOldForAnyBuild(int major) { return major <= 9; }
constexpr bool HostOpensNewFormatWorkbooks(int major) { return major >= 12; }

// Major version 15 keeps whatever visibility it has when the hand-over ends;
// every other is given the launch's final visibility.
constexpr bool HostKeepsVisibilityAtHandOver(int major) { return major == 15; }

// The version gate on the host executable's file version: the encoded string
// to stop with (57, 58, 59 or 60) when the build is older than the minimum
// for its major version, else 0. Majors outside 11..15, major 13 and build 0
// always pass.
int HostBuildGateNotice(const HostFileVersion& version);

}  // namespace brisk
