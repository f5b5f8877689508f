// The name a maker most likely meant when a name is not one of a fixed set:
// for "did you mean ...?" in the builder's messages about its inputs.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace brisk {

// The name of `names` nearest to `given`, when one is near enough to be a
// slip: ASCII case, '-' for '_' and blanks at either end count for nothing;
// otherwise an inserted, dropped, changed or swapped character counts one,
// and at most a third of the name's length (at least one, at most three)
// may differ. Nothing when no name is that near.
std::optional<std::string_view> NearestName(std::string_view given, std::span<const std::string_view> names);

}  // namespace brisk
