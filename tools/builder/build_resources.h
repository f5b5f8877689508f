// Everything an application build carries, made from a manifest: the payload
// resources in the form the launcher reads them.
#pragma once

#include <string>
#include <vector>

#include "manifest.h"
#include "payload/payload_buffer.h"

namespace brisk {

struct BuiltResource {
  int id;  // a PayloadResourceId
  PayloadBuffer bytes;
};

struct BuildResult {
  std::vector<BuiltResource> resources;
  std::string error;  // one line, set when the build is refused
};

// Reads every file the manifest names and makes the payload resources.
BuildResult MakeBuildResources(const BuildManifest& manifest);

}  // namespace brisk
