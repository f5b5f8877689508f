#include "core/random_names.h"

#include <cstdlib>

namespace brisk {

std::string RandomName(std::size_t length, const std::function<int()>& nextRandom) {
  std::string name;
  name.reserve(length);
  while (name.size() < length) {
    const int value = (nextRandom ? nextRandom() : std::rand()) % 36;
    const char c = value < 10 ? static_cast<char>('0' + value) : static_cast<char>('a' + value - 10);
    if (name.empty() && value < 10) continue;
    if (name.size() >= 2 && name[name.size() - 2] == c) continue;
    name.push_back(c);
  }
  return name;
}

}  // namespace brisk
