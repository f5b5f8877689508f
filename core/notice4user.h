// The exception for every stop that the user is told about.
#pragma once

#include <stdexcept>
#include <string>

namespace brisk {

// Carries a ready-made UTF-8 text for the warning box.
class notice4user : public std::runtime_error {
 public:
  explicit notice4user(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace brisk
