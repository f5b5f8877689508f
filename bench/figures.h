// Timing and printing for the benchmarks: medians of repeated runs, printed
// as plain figures.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace brisk::bench {

constexpr double kMiB = 1024.0 * 1024.0;

// Which build measures, for the figures' headings: the 32-bit Windows build
// is the one of record; the 64-bit one measures the launcher's twin where no
// 32-bit program runs.
#if defined(_WIN64)
inline constexpr char kPlatform[] = "win64, 64-bit";
#elif defined(_WIN32)
inline constexpr char kPlatform[] = "win32, 32-bit";
#else
inline constexpr char kPlatform[] = "native";
#endif

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double Milliseconds() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// The median; for an even count the mean of the middle two. 0 for none.
double Median(std::vector<double> values);

// "  label ............ value unit" on one line, so that figures line up.
void PrintFigure(const std::string& label, double value, const std::string& unit, int decimals = 1);
void PrintNote(const std::string& text);

}  // namespace brisk::bench
