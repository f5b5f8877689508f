// Launch benchmark (Windows; under Wine it needs a display): a whole
// test-mode launch of an application build that carries a large workbook,
// measured from outside.
//
//   launch_bench --tool launcher-tool.exe --aligned-launcher launcher.exe
//                --host standin_host.exe --addin32 briskstub.dll [--addin64 briskstub.dll]
//                --install <host fixture folder> --work <scratch folder>
//                [--size-mib 64] [--runs 5] [--launcher LABEL=launcher.exe ...]
//                [--aligned-only 1] [--cold-cache 1]
//
// A workbook that would take the build's payload files beyond the builder's
// limit is made just small enough to fit, and the heading says so.
//
// Two builds of the same inputs are measured: one with the launcher that
// launcher-tool carries ("as built") and one with --aligned-launcher, the
// same launcher linked with every section at a page-aligned file offset.
// Windows maps every image from its file; Wine maps only sections at
// page-aligned offsets and reads the others into private memory. Whether the
// big resource section of a build counts as private under Wine therefore
// depends on where the linker happened to put it; the aligned build shows the
// launcher's own memory as Windows would count it. Each --launcher adds a
// build made with that launcher (e.g. one built from an earlier commit), so
// that launchers are compared in the same run on the same machine.
//
// Memory: the launcher's peak private memory, as a ratio to the workbook's
// size. Windows keeps that peak itself (PeakPagefileUsage, read before the
// process ends). Wine fills PagefileUsage and PeakPagefileUsage both with the
// current anonymous resident memory of the process (RssAnon + VmSwap of
// /proc/<pid>/status) and leaves PrivateUsage 0, so the peak is the largest
// value sampled about once a millisecond; PeakWorkingSetSize (VmHWM, which
// also counts file-backed pages) is a true peak on both and printed beside it.
//
// Time: from the start of the launcher to the ready event that the add-in
// signals, as a ratio to the stand-in host's own start (CLSIDFromProgID and
// CoCreateInstance of the host's ProgID alone). The benchmark creates the
// ready event itself before the launcher runs (the launcher's CreateEventW
// then opens the same manual-reset event), so it sees the signal even when
// the launcher has already ended, as it may in test mode.
//
// Steps: every launch runs with BRISK_LAUNCH_LOG naming a file of its own;
// the table prints, per logged step, the median time since the launcher's
// process started (the log's own clock), beside the host's own start.
//
// Cold cache (--cold-cache 1): after the warm launches, the page-aligned build
// is launched again with the system's cached pages of its file dropped before
// each launch. A Windows program cannot drop the host system's page cache, so
// the benchmark asks whoever reads its standard output: it prints
// "EVICT <path of the build>" and waits (a bounded time) for
// "<path>.evicted" to appear. run_launch_bench.cmake pipes the output through
// bench/evict_pages.py, which drops the file's pages (posix_fadvise) and
// writes that file with the bytes still resident. Without an answer the row
// is skipped.
#include <windows.h>

#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "bench/figures.h"
#include "bench/launch_log_steps.h"
#include "bench/pe_sections.h"
#include "bench/process_tools_win.h"
#include "bench/workbook_like.h"
#include "host/aux_workbook.h"
#include "payload/build_settings.h"
#include "payload/encoded_strings.h"
#include "standin_registration.h"

namespace brisk::bench {
namespace {

constexpr DWORD kToolTimeoutMs = 600000;
constexpr double kLaunchTimeoutMs = 120000;
constexpr double kEvictionWaitMs = 30000;
constexpr DWORD kHostEndMs = 10000;

struct ExtraLauncher {
  std::string label;
  std::wstring path;
};

struct Options {
  std::wstring tool, alignedLauncher, host, addin32, install, work;
  std::wstring addin64;  // optional: the host of a 64-bit tree is 64-bit
  std::size_t sizeMiB = 64;
  int runs = 5;
  bool alignedOnly = false;
  bool coldCache = false;
  std::vector<ExtraLauncher> launchers;
};

Options ParseOptions(int argc, wchar_t** argv) {
  Options options;
  std::map<std::wstring, std::wstring*> paths = {
      {L"--tool", &options.tool},       {L"--aligned-launcher", &options.alignedLauncher},
      {L"--host", &options.host},       {L"--addin32", &options.addin32},
      {L"--install", &options.install}, {L"--work", &options.work}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring key = argv[i];
    if (auto path = paths.find(key); path != paths.end()) {
      *path->second = argv[i + 1];
    } else if (key == L"--addin64") {
      options.addin64 = argv[i + 1];
    } else if (key == L"--size-mib") {
      options.sizeMiB = std::wcstoul(argv[i + 1], nullptr, 10);
    } else if (key == L"--runs") {
      options.runs = _wtoi(argv[i + 1]);
    } else if (key == L"--aligned-only") {
      options.alignedOnly = _wtoi(argv[i + 1]) != 0;
    } else if (key == L"--cold-cache") {
      options.coldCache = _wtoi(argv[i + 1]) != 0;
    } else if (key == L"--launcher") {
      const std::wstring value = argv[i + 1];
      const std::size_t equals = value.find(L'=');
      if (equals == 0 || equals == std::wstring::npos) throw std::runtime_error("--launcher takes LABEL=path");
      options.launchers.push_back({std::string(value.begin(), value.begin() + equals), value.substr(equals + 1)});
    } else {
      throw std::runtime_error("unknown option");
    }
  }
  for (const auto& [key, path] : paths) {
    if (path->empty()) throw std::runtime_error("missing option " + std::string(key.begin(), key.end()));
  }
  if (options.sizeMiB == 0 || options.runs < 1) throw std::runtime_error("size and runs must be positive");
  return options;
}

std::wstring Encoded(int number) {
  const std::u16string text = GetEncodedStringW(number);
  return std::wstring(text.begin(), text.end());
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

void WriteText(const std::wstring& path, const std::string& text) {
  if (!WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()))) {
    throw std::runtime_error("cannot write a file of the build");
  }
}

std::string Utf8Path(const std::wstring& path) {
  const std::u8string text = std::filesystem::path(path).u8string();
  return std::string(text.begin(), text.end());
}

// The workbook's size: as asked, or as much as the builder's limit on the
// payload files leaves beside the auxiliary workbook and the add-in.
std::size_t WorkbookBytes(const Options& options) {
  const std::uint64_t asked = std::uint64_t{options.sizeMiB} << 20;
  const std::uint64_t others =
      MakeAuxWorkbook().size() + std::filesystem::file_size(std::filesystem::path(options.addin32)) +
      (options.addin64.empty() ? 0 : std::filesystem::file_size(std::filesystem::path(options.addin64)));
  // Whole pages, as the workbook-like file is made of whole sectors.
  return static_cast<std::size_t>(std::min(asked, (kMaxBuildPayloadBytes - others) / 4096 * 4096));
}

// The inputs of the builds: a workbook-like file of the given size, the
// project's auxiliary workbook, the stand-in add-ins (each in the slot of
// its bitness) and a manifest.
std::wstring WriteBuildInputs(const Options& options, std::size_t workbookBytes, const std::wstring& folder) {
  std::vector<std::uint8_t> workbook(workbookBytes);
  FillWorkbookLikeFile(workbook, 20240611);
  if (!WriteBytes(folder + L"\\workbook.bin", workbook)) throw std::runtime_error("cannot write the workbook");
  if (!WriteBytes(folder + L"\\auxiliary.bin", MakeAuxWorkbook())) throw std::runtime_error("cannot write aux");
  const std::wstring manifest = folder + L"\\app.manifest";
  WriteText(manifest,
            "name = Launch Benchmark\nversion = 1.0.0\nformat = 4\nworkbook = workbook.bin\n"
            "aux-workbook = auxiliary.bin\naddin32 = " +
                Utf8Path(options.addin32) + "\n" +
                (options.addin64.empty() ? std::string() : "addin64 = " + Utf8Path(options.addin64) + "\n"));
  return manifest;
}

std::optional<std::uint32_t> ResourceSectionOffset(const std::wstring& exe) {
  std::vector<std::uint8_t> headers(4096);
  std::ifstream file(std::filesystem::path(exe), std::ios::binary);
  file.read(reinterpret_cast<char*>(headers.data()), static_cast<std::streamsize>(headers.size()));
  headers.resize(static_cast<std::size_t>(file.gcount()));
  return SectionFileOffset(headers, ".rsrc");
}

struct Build {
  std::string label;
  std::wstring exe;
};

// launcher-tool build, with the given launcher or the one beside the tool.
Build MakeBuild(const Options& options, const std::wstring& manifest, const std::string& label,
                const std::wstring& launcher) {
  const std::wstring out = FolderOf(manifest) + L"\\" + Widen(label) + L".exe";
  std::wstring commandLine = Quoted(options.tool) + L" build " + Quoted(manifest) + L" " + Quoted(out);
  if (!launcher.empty()) commandLine += L" --launcher " + Quoted(launcher);
  Process tool;
  const Stopwatch watch;
  if (!tool.Start(options.tool, commandLine)) throw std::runtime_error("cannot start launcher-tool");
  if (tool.Wait(kToolTimeoutMs) != std::optional<DWORD>(0)) throw std::runtime_error("launcher-tool build failed");
  const auto offset = ResourceSectionOffset(out);
  std::printf("  (build %s: %.0f ms, %.1f MiB, resource section at file offset 0x%lx, %s)\n", label.c_str(),
              watch.Milliseconds(), std::filesystem::file_size(std::filesystem::path(out)) / kMiB,
              static_cast<unsigned long>(offset.value_or(0)),
              !offset          ? "not found"
              : *offset % 4096 ? "not page-aligned"
                               : "page-aligned");
  std::fflush(stdout);
  return {label, out};
}

// Registered for the benchmark's lifetime only.
class StandinRegistration {
 public:
  StandinRegistration(const std::wstring& exe, const std::wstring& config) {
    if (standin::RegisterStandinHost(exe, config) != ERROR_SUCCESS) {
      throw std::runtime_error("cannot register the stand-in host");
    }
  }
  ~StandinRegistration() { standin::UnregisterStandinHost(); }
  StandinRegistration(const StandinRegistration&) = delete;
  StandinRegistration& operator=(const StandinRegistration&) = delete;
};

struct ComApartment {
  ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { CoUninitialize(); }
};

class HostProcesses {
 public:
  explicit HostProcesses(std::wstring exeName) : exeName_(std::move(exeName)) {
    if (!ProcessesNamed(exeName_).empty()) {
      throw std::runtime_error("a stand-in host is already running in this Wine prefix; the benchmark needs it alone");
    }
  }
  // Every stand-in host now running was started for the benchmark.
  void EndAll() const { EndProcesses(ProcessesNamed(exeName_), kHostEndMs); }
  ~HostProcesses() { EndAll(); }

 private:
  std::wstring exeName_;
};

// The stand-in host's own start: what the launcher's host step costs at
// least. The host ends by itself once its last reference goes.
double TimeHostStart(const HostProcesses& hosts) {
  const Stopwatch watch;
  CLSID classId;
  IDispatch* application = nullptr;
  HRESULT result = CLSIDFromProgID(Encoded(kHostProgId).c_str(), &classId);
  if (SUCCEEDED(result)) {
    result =
        CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&application));
  }
  const double elapsed = watch.Milliseconds();
  if (application) application->Release();
  hosts.EndAll();
  if (FAILED(result)) throw std::runtime_error("the stand-in host did not start");
  return elapsed;
}

struct MemoryPeak {
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
  int samples = 0;

  void Sample(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
      return;
    }
    ++samples;
    privateBytes = std::max({privateBytes, counters.PrivateUsage, counters.PagefileUsage, counters.PeakPagefileUsage});
    workingSet = std::max(workingSet, counters.PeakWorkingSetSize);
  }
};

struct LaunchResult {
  std::vector<LoggedStep> steps;
  double readyMs = -1;
  double exitMs = -1;
  DWORD exitCode = 0;
  MemoryPeak memory;
  bool workbookWritten = false;
};

// Whether the launcher left a main workbook of the expected size in its
// working folder (default mode keeps it for a later clean-up run).
bool FoundWorkbookFile(const std::wstring& tempRoot, std::uintmax_t size) {
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::path(tempRoot), error)) {
    if (entry.is_regular_file(error) && entry.file_size(error) == size) return true;
  }
  return false;
}

LaunchResult Launch(const std::wstring& build, const std::wstring& runFolder, std::size_t workbookBytes) {
  const std::wstring temp = runFolder + L"\\tmp";
  std::filesystem::create_directories(std::filesystem::path(temp));
  const std::wstring logPath = runFolder + L"\\launch.log";
  Process launcher;
  if (!launcher.Start(build, Quoted(build) + L" -xlstest", true,
                      EnvironmentWithTemp(temp, {L"BRISK_LAUNCH_LOG=" + logPath}))) {
    throw std::runtime_error("cannot start the build");
  }
  wchar_t name[512] = {};
  _snwprintf(name, 511, Encoded(kReadyEventFormat).c_str(), static_cast<unsigned>(launcher.id()));
  const UniqueHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, name));
  if (!readyEvent) throw std::runtime_error("cannot create the ready event");
  HANDLE ready = readyEvent.get();

  LaunchResult result;
  launcher.Resume();
  const Stopwatch watch;
  bool exited = false;
  bool signalled = false;
  while (!(exited && signalled) && watch.Milliseconds() < kLaunchTimeoutMs) {
    if (!exited) result.memory.Sample(launcher.handle());
    HANDLE handles[2];
    DWORD count = 0;
    if (!exited) handles[count++] = launcher.handle();
    if (!signalled) handles[count++] = ready;
    const DWORD wait = WaitForMultipleObjects(count, handles, FALSE, exited ? 50 : 1);
    if (wait >= WAIT_OBJECT_0 + count) continue;
    if (handles[wait - WAIT_OBJECT_0] == ready) {
      signalled = true;
      result.readyMs = watch.Milliseconds();
    } else {
      exited = true;
      result.exitMs = watch.Milliseconds();
    }
  }
  if (exited) result.exitCode = launcher.Wait(0).value_or(0);
  result.workbookWritten = FoundWorkbookFile(temp, workbookBytes);
  std::ifstream log(std::filesystem::path(logPath), std::ios::binary);
  result.steps = LastLaunchSteps(std::string(std::istreambuf_iterator<char>(log), {}));
  return result;
}

struct BuildFigures {
  std::vector<double> readyMs, exitMs;
  std::vector<std::vector<LoggedStep>> steps;
  SIZE_T peakPrivate = 0, peakWorkingSet = 0;
  int launches = 0, samples = 0, missed = 0, unwritten = 0;

  void Add(const LaunchResult& launch) {
    if (launch.readyMs < 0 || launch.exitMs < 0 || launch.exitCode != 0) {
      ++missed;
      return;
    }
    ++launches;
    if (!launch.workbookWritten) ++unwritten;
    readyMs.push_back(launch.readyMs);
    exitMs.push_back(launch.exitMs);
    if (!launch.steps.empty()) steps.push_back(launch.steps);
    peakPrivate = std::max(peakPrivate, launch.memory.privateBytes);
    peakWorkingSet = std::max(peakWorkingSet, launch.memory.workingSet);
    samples += launch.memory.samples;
  }
};

void PrintFigures(const std::string& label, const BuildFigures& figures, double hostMs, std::size_t workbookBytes) {
  if (figures.launches == 0) {
    PrintNote("build " + label + ": no launch reached the ready event with a clean exit");
    return;
  }
  const double ready = Median(figures.readyMs);
  PrintFigure("launch to ready event (median, " + label + ")", ready, "ms", 0);
  PrintFigure("launch to launcher exit (median, " + label + ")", Median(figures.exitMs), "ms", 0);
  PrintFigure("RATIO launch-to-ready / host start (" + label + ")", ready / hostMs, "", 2);
  PrintFigure("peak private memory (max of runs, " + label + ")", figures.peakPrivate / kMiB, "MiB", 1);
  PrintFigure("RATIO peak private memory / workbook (" + label + ")",
              static_cast<double>(figures.peakPrivate) / workbookBytes, "", 2);
  PrintFigure("peak working set (max of runs, " + label + ")", figures.peakWorkingSet / kMiB, "MiB", 1);
  PrintFigure("RATIO peak working set / workbook (" + label + ")",
              static_cast<double>(figures.peakWorkingSet) / workbookBytes, "", 2);
  PrintNote(std::to_string(figures.samples / figures.launches) + " memory samples per launch; " +
            std::to_string(figures.missed) + " launch(es) without ready event or clean exit; " +
            std::to_string(figures.unwritten) + " without the main workbook file");
}

// One column per build: the median time of each logged step since the
// launcher's process started, and the median of the step's own share (the
// time since the step before it in the same launch is not kept; the share is
// the difference of the medians).
void PrintStepTable(const std::vector<Build>& builds, const std::vector<BuildFigures>& figures, double hostMs) {
  std::vector<std::vector<StepMedian>> columns;
  std::vector<std::string> events;
  for (const BuildFigures& build : figures) {
    columns.push_back(MedianSteps(build.steps));
    for (const StepMedian& step : columns.back()) {
      if (std::find(events.begin(), events.end(), step.event) == events.end()) events.push_back(step.event);
    }
  }
  if (events.empty()) {
    PrintNote("no launch log was written: no per-step table");
    return;
  }
  std::printf("  per step: median ms since the launcher's process started, from the launch log (+ share)\n");
  std::printf("    %-26s", "step");
  for (const Build& build : builds) std::printf(" %22s", build.label.c_str());
  std::printf("\n");
  for (const std::string& event : events) {
    std::printf("    %-26s", event.c_str());
    for (const std::vector<StepMedian>& column : columns) {
      const auto step =
          std::find_if(column.begin(), column.end(), [&](const StepMedian& s) { return s.event == event; });
      if (step == column.end()) {
        std::printf(" %22s", "-");
        continue;
      }
      const double share = step == column.begin() ? step->milliseconds : step->milliseconds - (step - 1)->milliseconds;
      char cell[64];
      std::snprintf(cell, sizeof cell, "%.1f (+%.1f)", step->milliseconds, share);
      std::printf(" %22s", cell);
    }
    std::printf("\n");
  }
  std::printf("    %-26s %22.1f\n", "(host start alone)", hostMs);
  std::fflush(stdout);
}

// Asks the reader of this program's output to drop the file's pages from the
// system's cache; what it reports of the pages still resident, or nothing
// when no answer came in time.
std::optional<std::string> EvictFromCache(const std::wstring& file) {
  const std::wstring answer = file + L".evicted";
  DeleteFileW(answer.c_str());
  std::printf("EVICT %s\n", Utf8Path(file).c_str());
  std::fflush(stdout);
  const Stopwatch watch;
  while (watch.Milliseconds() < kEvictionWaitMs) {
    if (GetFileAttributesW(answer.c_str()) != INVALID_FILE_ATTRIBUTES) {
      Sleep(50);  // written whole by then
      std::ifstream in(std::filesystem::path(answer), std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      in.close();
      DeleteFileW(answer.c_str());
      return text;
    }
    Sleep(20);
  }
  return std::nullopt;
}

int Run(const Options& options) {
  const std::wstring folder = options.work + L"\\launch";
  RemoveTree(folder);
  std::filesystem::create_directories(std::filesystem::path(folder));
  struct RemoveAtExit {
    std::wstring path;
    ~RemoveAtExit() { RemoveTree(path); }
  } removeFolder{folder};

  const std::size_t workbookBytes = WorkbookBytes(options);
  std::printf("== launch (%s%s, test mode): %.1f MiB workbook%s, %d runs per build\n", kPlatform,
              sizeof(void*) == 8 ? ": the launcher's 64-bit twin" : "", workbookBytes / kMiB,
              workbookBytes < (std::size_t{options.sizeMiB} << 20) ? " (as large as the builder's limit allows)" : "",
              options.runs);
  std::fflush(stdout);
  const std::wstring manifest = WriteBuildInputs(options, workbookBytes, folder);
  std::vector<Build> builds;
  if (!options.alignedOnly) builds.push_back(MakeBuild(options, manifest, "as-built", L""));
  builds.push_back(MakeBuild(options, manifest, "page-aligned", options.alignedLauncher));
  for (const ExtraLauncher& launcher : options.launchers) {
    builds.push_back(MakeBuild(options, manifest, launcher.label, launcher.path));
  }
  WriteText(folder + L"\\host.cfg", "version=16.0\ninstall_path=" + Utf8Path(options.install) + "\n");

  const ComApartment apartment;
  const HostProcesses hosts(FileNameOf(options.host));
  const StandinRegistration registration(options.host, folder + L"\\host.cfg");

  // The first server start of a prefix pays for COM's own start-up.
  TimeHostStart(hosts);
  std::vector<double> hostMs;
  std::vector<BuildFigures> figures(builds.size());
  for (int run = 0; run < options.runs; ++run) {
    hostMs.push_back(TimeHostStart(hosts));
    for (std::size_t b = 0; b < builds.size(); ++b) {
      const std::wstring runFolder = folder + L"\\run" + std::to_wstring(run) + L"-" + std::to_wstring(b);
      figures[b].Add(Launch(builds[b].exe, runFolder, workbookBytes));
      hosts.EndAll();
      RemoveTree(runFolder);
    }
  }
  // The same page-aligned build with its file's pages dropped from the
  // system's cache before each launch.
  if (options.coldCache) {
    const Build& aligned = builds[options.alignedOnly ? 0 : 1];
    BuildFigures cold;
    std::string resident;
    for (int run = 0; run < options.runs; ++run) {
      const std::optional<std::string> evicted = EvictFromCache(aligned.exe);
      if (!evicted) {
        PrintNote(
            "cold cache: nobody dropped the build's cached pages (run through run_launch_bench.cmake); row skipped");
        break;
      }
      resident = *evicted;
      hostMs.push_back(TimeHostStart(hosts));
      const std::wstring runFolder = folder + L"\\cold" + std::to_wstring(run);
      cold.Add(Launch(aligned.exe, runFolder, workbookBytes));
      hosts.EndAll();
      RemoveTree(runFolder);
    }
    if (cold.launches + cold.missed > 0) {
      builds.push_back({aligned.label + ", cold cache", aligned.exe});
      figures.push_back(cold);
      PrintNote("cold cache: the build's pages still resident after the drop: " + resident);
    }
  }
  const double host = Median(hostMs);
  PrintFigure("stand-in host start alone (median)", host, "ms", 0);
  for (std::size_t b = 0; b < builds.size(); ++b) PrintFigures(builds[b].label, figures[b], host, workbookBytes);
  PrintStepTable(builds, figures, host);
  return 0;
}

}  // namespace
}  // namespace brisk::bench

int wmain(int argc, wchar_t** argv) {
  try {
    return brisk::bench::Run(brisk::bench::ParseOptions(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "launch_bench: %s\n", error.what());
    return 2;
  }
}
