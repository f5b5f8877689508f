// The executable image of an application build, before and after its
// resources are written: the check of the launcher it starts from and the
// finishing touches that make two builds of the same inputs byte-identical.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pe_image.h"

namespace brisk {

struct LauncherCheck {
  std::optional<pe::Image> image;
  std::vector<pe::ResourceEntry> resources;
  std::string error;  // one line, set when the file is no launcher of this project
};

// Checks that `file` is a launcher of this project: a 32-bit (i386) Windows
// GUI executable, whole, whose checksum matches its bytes, carrying the
// launcher's own resources (its dialog, its notice symbols, an icon group
// and a version resource that reads), stripped of its symbol table, with
// nothing appended after its image. A certificate table at its end (an earlier
// build that was signed) is removed from `file`: the build signs anew.
LauncherCheck CheckLauncherImage(std::vector<std::uint8_t>& file);

// The time stamp of a build: SOURCE_DATE_EPOCH (decimal seconds) when it is
// set, which must fit the 32-bit field; otherwise one derived from the
// image itself. `sourceDateEpoch` is the variable's value, absent when it
// is not set (an empty value counts as not set).
struct TimeStampChoice {
  std::optional<std::uint32_t> stamp;  // absent: derive it from the image
  std::string error;                   // set when the variable holds no usable value
};
TimeStampChoice ChooseTimeStamp(const std::optional<std::string>& sourceDateEpoch);

// Sets every time stamp of the image and recomputes its checksum. Without a
// chosen stamp, the stamp is a hash of the image with its stamps and
// checksum cleared, so that it depends on the inputs only. False when the
// image is damaged.
bool FinishBuildImage(std::vector<std::uint8_t>& file, std::optional<std::uint32_t> stamp);

// Recomputes the checksum only (after signing, which must not see other
// changes). False when the image is damaged.
bool UpdateChecksum(std::vector<std::uint8_t>& file);

}  // namespace brisk
