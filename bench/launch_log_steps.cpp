#include "bench/launch_log_steps.h"

#include <cstdlib>
#include <map>
#include <set>

#include "bench/figures.h"

namespace brisk::bench {

std::vector<LoggedStep> LastLaunchSteps(std::string_view log) {
  constexpr std::string_view kHeader = "launch of ";
  std::vector<LoggedStep> steps;
  while (!log.empty()) {
    const std::size_t end = log.find('\n');
    std::string line(log.substr(0, end));
    log = end == std::string_view::npos ? std::string_view() : log.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with(kHeader)) {
      steps.clear();
      continue;
    }
    char* rest = nullptr;
    const double milliseconds = std::strtod(line.c_str(), &rest);
    if (rest == line.c_str() || *rest != ' ') continue;
    std::string event(rest + 1);
    if (const std::size_t colon = event.find(": "); colon != std::string::npos) event.resize(colon);
    if (!event.empty()) steps.push_back({event, milliseconds});
  }
  return steps;
}

std::vector<StepMedian> MedianSteps(const std::vector<std::vector<LoggedStep>>& launches) {
  std::vector<std::string> order;
  std::map<std::string, std::vector<double>> times;
  for (const std::vector<LoggedStep>& steps : launches) {
    std::set<std::string> seen;
    for (const LoggedStep& step : steps) {
      if (!seen.insert(step.event).second) continue;
      if (!times.count(step.event)) order.push_back(step.event);
      times[step.event].push_back(step.milliseconds);
    }
  }
  std::vector<StepMedian> medians;
  for (const std::string& event : order) {
    medians.push_back({event, Median(times[event]), static_cast<int>(times[event].size())});
  }
  return medians;
}

}  // namespace brisk::bench
