#include "text/nearest_name.h"

#include <algorithm>
#include <string>
#include <vector>

namespace brisk {

namespace {

// The form in which names are compared: no blanks at either end, lower-case
// ASCII, '_' for '-'.
std::string Folded(std::string_view name) {
  const auto first = name.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  name = name.substr(first, name.find_last_not_of(" \t") - first + 1);
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '-') c = '_';
  }
  return folded;
}

// Edits between the two, a swap of neighbours counting one (the optimal
// string alignment distance).
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::optional<std::string_view> NearestName(std::string_view given, std::span<const std::string_view> names) {
  // Far longer inputs are no slips; the table stays small.
  constexpr std::size_t kLongestCompared = 64;
  const std::string folded = Folded(given);
  if (folded.empty() || folded.size() > kLongestCompared) return std::nullopt;
  std::optional<std::string_view> nearest;
  std::size_t best = 0;
  for (std::string_view name : names) {
    const std::string candidate = Folded(name);
    const std::size_t allowed = std::clamp<std::size_t>(candidate.size() / 3, 1, 3);
    const std::size_t distance = Distance(folded, candidate);
    if (distance <= allowed && (!nearest || distance < best)) {
      nearest = name;
      best = distance;
    }
  }
  return nearest;
}

}  // namespace brisk
