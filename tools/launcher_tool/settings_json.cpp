#include "settings_json.h"

#include "json_writer.h"

namespace brisk::tool {

std::vector<std::string> SettingsMembers(const BuildSettings& s) {
  return {
      Member("headerSize", std::to_string(s.headerSize)),
      Member("appVersion", std::to_string(s.appVersion)),
      Member("flags", std::to_string(s.flags)),
      Member("appNameBytes", std::to_string(s.appNameBytes)),
      Member("appInfoBytes", std::to_string(s.appInfoBytes)),
      Member("partCBytes", std::to_string(s.partCBytes)),
      Member("partDBytes", std::to_string(s.partDBytes)),
      Member("partEBytes", std::to_string(s.partEBytes)),
      Member("partFBytes", std::to_string(s.partFBytes)),
      Member("magic", std::to_string(s.magic)),
      Member("partGBytes", std::to_string(s.partGBytes)),
      Member("passwordBytes", std::to_string(s.passwordBytes)),
      Member("partIBytes", std::to_string(s.partIBytes)),
      Member("workbookFormat", std::to_string(s.workbookFormat)),
      Member("builderVersion", std::to_string(s.builderVersion)),
      Member("appName", JsonString(s.appName)),
      Member("appInfo", JsonString(s.appInfo)),
      Member("storedPassword", JsonString(s.storedPassword)),
  };
}

}  // namespace brisk::tool
