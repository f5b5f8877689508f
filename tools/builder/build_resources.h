// Everything an application build carries, made from a manifest: the payload
// resources in the form the launcher reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "manifest.h"
#include "payload/build_settings.h"
#include "payload/payload_buffer.h"

namespace brisk {

// The values of a current-layout settings record.
struct SettingsRecordInput {
  std::u16string appName;
  std::u16string appInfo;
  std::uint32_t appVersion = 0;
  std::uint32_t flags = 0;
  std::u16string password;
  std::uint32_t workbookFormat = 0;
  std::uint32_t magic = kSettingsMagic;
};

struct RecordResult {
  PayloadBuffer record;  // unpacked
  std::string error;     // one line, set when the values cannot be stored
};

// A current-layout record, checked by parsing it back: values that would not
// come back unchanged (a name too long for its length field, a password that
// does not survive its encoding) are refused.
RecordResult WriteSettingsRecord(const SettingsRecordInput& input);

struct BuiltResource {
  int id;
  PayloadBuffer bytes;
};

struct BuildResult {
  std::vector<BuiltResource> resources;
  std::string error;  // one line, set when the build is refused
};

// Reads every file the manifest names and makes the payload resources.
BuildResult MakeBuildResources(const BuildManifest& manifest);

}  // namespace brisk
