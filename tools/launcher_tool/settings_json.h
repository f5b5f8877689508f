// The members of a parsed settings record as launcher-tool prints them.
#pragma once

#include <string>
#include <vector>

#include "payload/build_settings.h"

namespace brisk::tool {

// The settings as the stored BuildSettings holds them: the header fields as
// numbers, appName, appInfo and storedPassword as strings.
std::vector<std::string> SettingsMembers(const BuildSettings& settings);

}  // namespace brisk::tool
