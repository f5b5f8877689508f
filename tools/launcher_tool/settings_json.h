// JSON objects of launcher-tool: the members of a parsed settings record.
#pragma once

#include <string>
#include <vector>

#include "payload/build_settings.h"

namespace brisk::tool {

// "key": value, with the value already in JSON form.
std::string Member(const std::string& key, const std::string& value);

// Prints an object whose members are already formatted, one per line.
void PrintObject(const std::vector<std::string>& members);

// The settings as the stored BuildSettings holds them: the header fields as
// numbers, appName, appInfo and storedPassword as strings.
std::vector<std::string> SettingsMembers(const BuildSettings& settings);

}  // namespace brisk::tool
