// Unpack benchmark: container -> bytes for a large workbook-like payload, as
// a ratio to one bare zlib uncompress of the same stream in the same run.
//
//   unpack_bench [--size-mib N] [--runs N]
//
// On Windows it also measures the way the launcher gets the main workbook:
// the payload as resource 1020 of a copy of this program, loaded and
// unpacked from there (unpack_resource_win.cpp).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/unpack_payload.h"
#include "payload/container.h"

#ifdef _WIN32
#include "bench/unpack_resource_win.h"
#endif

namespace brisk::bench {
namespace {

struct Options {
  std::size_t sizeMiB = 64;
  int runs = 5;
  bool resourceChild = false;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size-mib" && i + 1 < argc) {
      options.sizeMiB = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::atoi(argv[++i]);
#ifdef _WIN32
    } else if (arg == kResourceChildOption) {
      options.resourceChild = true;
#endif
    } else {
      throw std::runtime_error("usage: unpack_bench [--size-mib N] [--runs N]");
    }
  }
  if (options.sizeMiB == 0 || options.runs < 1) throw std::runtime_error("size and runs must be positive");
  return options;
}

int Run(const Options& options) {
#ifdef _WIN32
  if (options.resourceChild) return RunResourceChild(options.runs);
#endif
  const char* platform = kPlatform;
  const UnpackPayload payload = MakeUnpackPayload(options.sizeMiB << 20);
  const Stream stream = ContainerStream(payload.container.data(), payload.container.size());
  std::printf("== unpack (%s): %zu MiB workbook-like payload, container %.1f MiB, %d runs, medians\n", platform,
              options.sizeMiB, payload.container.size() / kMiB, options.runs);

  std::vector<double> bare;
  std::vector<double> unpack;
  // One warm-up round first: the first touch of the container's pages and
  // the allocator's first large blocks belong to neither side.
  for (int run = -1; run < options.runs; ++run) {
    const double bareMs = TimeBareUncompress(stream, payload.unpacked.size());
    PayloadBuffer out;
    const Stopwatch watch;
    const bool unpacked = UnpackContainer(payload.container.data(), payload.container.size(), out);
    const double unpackMs = watch.Milliseconds();
    if (bareMs < 0 || !unpacked || out != payload.unpacked) throw std::runtime_error("unpacking failed");
    if (run < 0) continue;
    bare.push_back(bareMs);
    unpack.push_back(unpackMs);
  }
  const double bareMedian = Median(bare);
  const double unpackMedian = Median(unpack);
  PrintFigure("bare zlib uncompress", bareMedian, "ms", 1);
  PrintFigure("UnpackContainer (container -> bytes)", unpackMedian, "ms", 1);
  PrintFigure("unpack throughput", payload.unpacked.size() / kMiB / (unpackMedian / 1000), "MiB/s", 0);
  PrintFigure("RATIO unpack / bare uncompress", unpackMedian / bareMedian, "", 2);
#ifdef _WIN32
  return RunResourceBench(payload, options.runs);
#else
  return 0;
#endif
}

}  // namespace
}  // namespace brisk::bench

int main(int argc, char** argv) {
  try {
    return brisk::bench::Run(brisk::bench::ParseOptions(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "unpack_bench: %s\n", error.what());
    return 2;
  }
}
