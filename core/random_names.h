// Random file and folder names for the working folder and its files.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace brisk {

// A name of `length` characters from 0-9 and a-z, drawn from nextRandom()
// % 36. A draw is rejected when it would put a digit first or repeat the
// character two positions before it. nextRandom defaults to std::rand.
std::string RandomName(std::size_t length, const std::function<int()>& nextRandom = {});

constexpr std::size_t kRandomNameLength = 8;

}  // namespace brisk
