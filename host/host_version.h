// Rules on the host's version: its major number and the minimum builds.
#pragma once

#include <string_view>

#include "host/host_file_version.h"

namespace brisk {

// The value of the leading decimal digits of a version text, read as _wtoi
// reads it (leading white space and a sign allowed); 0 when there are none.
// Saturates instead of overflowing.
int MajorVersionFromText(std::u16string_view text);

// The version gate on the host executable's file version: the encoded string
// to stop with (57, 58, 59 or 60) when the build is older than the minimum
// for its major version, else 0. Majors outside 11..15, major 13 and build 0
// always pass.
int HostBuildGateNotice(const HostFileVersion& version);

}  // namespace brisk
