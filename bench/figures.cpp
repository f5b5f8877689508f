#include "bench/figures.h"

#include <algorithm>
#include <cstdio>

namespace brisk::bench {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintFigure(const std::string& label, double value, const std::string& unit, int decimals) {
  std::string dotted = label + " ";
  if (dotted.size() < 60) dotted.append(60 - dotted.size(), '.');
  std::printf("  %s %10.*f %s\n", dotted.c_str(), decimals, value, unit.c_str());
  std::fflush(stdout);
}

void PrintNote(const std::string& text) {
  std::printf("  (%s)\n", text.c_str());
  std::fflush(stdout);
}

}  // namespace brisk::bench
