// The steps of a launch as the launcher's launch log (BRISK_LAUNCH_LOG)
// records them, for the launch benchmark's per-step table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisk::bench {

struct LoggedStep {
  std::string event;    // "host created", "payloads unpacked", ...
  double milliseconds;  // since the launcher's process started
};

// The steps of the last launch in a log's text: the lines after its last
// "launch of ..." header, each "<milliseconds> <event>[: <detail>]". Lines
// that do not read so are skipped.
std::vector<LoggedStep> LastLaunchSteps(std::string_view log);

// Per event, in the order the events first appear across `launches`, the
// median of its times (an event seen twice in one launch counts its first
// time).
struct StepMedian {
  std::string event;
  double milliseconds;
  int launches;  // how many launches logged it
};
std::vector<StepMedian> MedianSteps(const std::vector<std::vector<LoggedStep>>& launches);

}  // namespace brisk::bench
