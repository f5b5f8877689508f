#include "bench/unpack_resource_win.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/process_tools_win.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "payload/payload_resource.h"
#include "resource_writer_win.h"

namespace brisk::bench {

namespace {

constexpr DWORD kChildTimeoutMs = 10 * 60 * 1000;

std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// This program's own copy of resource 1020, in place.
struct ResourceBytes {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

ResourceBytes OwnWorkbookResource() {
  const std::u16string type = GetEncodedStringW(kPayloadResourceType);
  HRSRC found =
      FindResourceW(nullptr, MAKEINTRESOURCEW(kMainWorkbookResource), reinterpret_cast<LPCWSTR>(type.c_str()));
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) throw std::runtime_error("resource 1020 missing in the copy");
  return {static_cast<const std::uint8_t*>(bytes), SizeofResource(nullptr, found)};
}

struct DeleteFileAtExit {
  std::wstring path;
  ~DeleteFileAtExit() { DeleteFileW(path.c_str()); }
};

}  // namespace

int RunResourceBench(const UnpackPayload& payload, int runs) {
  const std::wstring self = ModulePath();
  const DeleteFileAtExit copy{self.substr(0, self.find_last_of(L'\\') + 1) + L"unpack_bench_resource.exe"};
  if (!CopyFileW(self.c_str(), copy.path.c_str(), FALSE)) throw std::runtime_error("cannot copy the benchmark");
  const Stopwatch writing;
  if (!WritePayloadResources(copy.path, {{kMainWorkbookResource, payload.container}})) {
    throw std::runtime_error("cannot write resource 1020 into the copy");
  }
  std::printf("  (resource 1020 written into a copy in %.0f ms)\n", writing.Milliseconds());
  std::fflush(stdout);

  std::wstring commandLine = L"\"" + copy.path + L"\" " +
                             std::wstring(kResourceChildOption.begin(), kResourceChildOption.end()) + L" --runs " +
                             std::to_wstring(runs);
  Process child;
  if (!child.Start(copy.path, commandLine)) throw std::runtime_error("cannot start the copy");
  const auto code = child.Wait(kChildTimeoutMs);
  if (!code) throw std::runtime_error("the copy did not finish in time");
  return static_cast<int>(*code);
}

int RunResourceChild(int runs) {
  const ResourceBytes resource = OwnWorkbookResource();
  const Stream stream = ContainerStream(resource.data, resource.size);
  PayloadBuffer reference;
  if (!UnpackContainer(resource.data, resource.size, reference))
    throw std::runtime_error("resource 1020 does not unpack");
  std::printf("== unpack from resource 1020 (%s): %.1f MiB container -> %.1f MiB, %d runs, medians\n", kPlatform,
              resource.size / kMiB, reference.size() / kMiB, runs);

  std::vector<double> bare;
  std::vector<double> load;
  std::vector<double> loadAndUnpack;
  for (int run = -1; run < runs; ++run) {
    const double bareMs = TimeBareUncompress(stream, reference.size());
    PayloadBuffer raw;
    const Stopwatch loadWatch;
    const bool loaded = LoadPayloadResource(kMainWorkbookResource, raw);
    const double loadMs = loadWatch.Milliseconds();
    PayloadBuffer().swap(raw);
    PayloadBuffer out;
    const Stopwatch unpackWatch;
    const bool unpacked = LoadAndUnpackPayload(kMainWorkbookResource, out);
    const double unpackMs = unpackWatch.Milliseconds();
    if (bareMs < 0 || !loaded || !unpacked || out != reference) throw std::runtime_error("loading failed");
    if (run < 0) continue;
    bare.push_back(bareMs);
    load.push_back(loadMs);
    loadAndUnpack.push_back(unpackMs);
  }
  const double bareMedian = Median(bare);
  PrintFigure("bare zlib uncompress from the resource", bareMedian, "ms", 1);
  PrintFigure("LoadPayloadResource (raw copy only)", Median(load), "ms", 1);
  PrintFigure("LoadAndUnpackPayload(1020)", Median(loadAndUnpack), "ms", 1);
  PrintFigure("RATIO LoadAndUnpackPayload / bare uncompress", Median(loadAndUnpack) / bareMedian, "", 2);
  return 0;
}

}  // namespace brisk::bench
