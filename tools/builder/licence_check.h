// The builder's check of a licence text before it goes into a build: a text
// the launcher would refuse as damaged is refused here, where its maker can
// still change it.
#pragma once

#include <filesystem>
#include <string>

#include "payload/payload_buffer.h"

namespace brisk {

// Empty when the licence read from `path` may go into a build; otherwise one
// line saying why not and what to do about it.
std::string LicenceRefusal(const PayloadBuffer& licence, const std::filesystem::path& path);

}  // namespace brisk
