// Write benchmark (Windows): the launcher's way of writing a large unpacked
// payload (WriteFileInBlocks: one WriteFile per 4 MiB block straight from the
// buffer) against one bare WriteFile of the same bytes, in the same run, into
// the same scratch folder (by default "brisk-write-bench" in the temporary
// folder, where the launcher writes too). Each file is deleted after its
// write; the two ways alternate so that the disk's state favours neither.
//
//   write_bench [--work <scratch folder>] [--size-mib 64] [--runs 7]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_write_win.h"
#include "base/unique_handle.h"
#include "bench/figures.h"
#include "bench/workbook_like.h"

namespace brisk::bench {
namespace {

struct Options {
  std::wstring work;
  std::size_t sizeMiB = 64;
  int runs = 7;
};

Options ParseOptions(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring key = argv[i];
    if (key == L"--work") {
      options.work = argv[i + 1];
    } else if (key == L"--size-mib") {
      options.sizeMiB = std::wcstoul(argv[i + 1], nullptr, 10);
    } else if (key == L"--runs") {
      options.runs = _wtoi(argv[i + 1]);
    } else {
      throw std::runtime_error("usage: write_bench [--work <folder>] [--size-mib N] [--runs N]");
    }
  }
  if (options.work.empty()) {
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) throw std::runtime_error("no temporary folder");
    options.work = std::wstring(temp) + L"brisk-write-bench";
  }
  if (options.sizeMiB == 0 || options.sizeMiB > 1024 || options.runs < 1) {
    throw std::runtime_error("size (1 to 1024 MiB) and runs must be positive");
  }
  return options;
}

// The same file with one WriteFile for all bytes.
bool WriteAtOnce(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(bytes.size());
  if (!WriteFile(file.get(), bytes.data(), size, &written, nullptr) || written != size) return false;
  return CloseHandle(file.release()) != FALSE;
}

double TimeWrite(const std::wstring& path, bool (*write)(const std::wstring&, const std::vector<std::uint8_t>&),
                 const std::vector<std::uint8_t>& bytes) {
  const Stopwatch watch;
  const bool written = write(path, bytes);
  const double elapsed = watch.Milliseconds();
  DeleteFileW(path.c_str());
  if (!written) throw std::runtime_error("a write failed");
  return elapsed;
}

bool WriteInBlocks(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  return WriteFileInBlocks(path, bytes.data(), bytes.size());
}

int Run(const Options& options) {
  std::vector<std::uint8_t> bytes(options.sizeMiB << 20);
  FillWorkbookLikeFile(bytes, 20240611);
  CreateDirectoryW(options.work.c_str(), nullptr);
  const std::wstring path = options.work + L"\\write_bench.bin";
  std::printf("== write (%s): %zu MiB workbook-like file, %d runs, medians\n", kPlatform, options.sizeMiB, options.runs);
  std::vector<double> bare, blocks;
  // One warm-up round: the first write of a run also grows the system's
  // file cache.
  for (int run = -1; run < options.runs; ++run) {
    const double bareMs = TimeWrite(path, WriteAtOnce, bytes);
    const double blocksMs = TimeWrite(path, WriteInBlocks, bytes);
    if (run < 0) continue;
    bare.push_back(bareMs);
    blocks.push_back(blocksMs);
  }
  const double bareMedian = Median(bare);
  const double blocksMedian = Median(blocks);
  RemoveDirectoryW(options.work.c_str());
  PrintFigure("bare WriteFile, all bytes in one call", bareMedian, "ms", 1);
  PrintFigure("WriteFileInBlocks (4 MiB blocks, the launcher's)", blocksMedian, "ms", 1);
  PrintFigure("write throughput (launcher's)", bytes.size() / kMiB / (blocksMedian / 1000), "MiB/s", 0);
  PrintFigure("RATIO launcher's write / bare WriteFile", blocksMedian / bareMedian, "", 2);
  return 0;
}

}  // namespace
}  // namespace brisk::bench

int wmain(int argc, wchar_t** argv) {
  try {
    return brisk::bench::Run(brisk::bench::ParseOptions(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "write_bench: %s\n", error.what());
    return 2;
  }
}
