#include "core/payload_preparation_win.h"

#include <new>
#include <utility>

#include "base/thread_win.h"
#include "core/temp_files.h"
#include "core/working_folder_win.h"

#include "payload/container.h"
#include "payload/payload_ids.h"

namespace brisk {

namespace {

// Runs one preparation; memory that runs out on the way is a state of its
// own, whatever call it ran out in.
template <typename Prepare>
PreparedPayload Prepared(Prepare prepare) {
  PreparedPayload payload;
  try {
    payload.state = prepare(payload.bytes);
  } catch (const std::bad_alloc&) {
    PayloadBuffer().swap(payload.bytes);
    payload.state = PayloadState::kOutOfMemory;
  }
  payload.prepared = true;
  return payload;
}

void PrepareAll(bool externalStorage, PayloadBuffer& storedWorkbook, PreparedPayloads& results) {
  results.addin32 = PrepareAddin(false);
  results.addin64 = PrepareAddin(true);
  results.workbook = PrepareWorkbook(externalStorage, std::move(storedWorkbook));
}

// The working folder and the main workbook in it, from the buffer just
// unpacked, which goes with the write. A folder that cannot be made leaves
// the workbook to its own step, which tries again as a launch without the
// worker does. Once the buffer has gone to the write, the worker answers for
// the workbook: a write that fails in any way is recorded, so that the step
// never writes the emptied buffer instead.
void WriteWorkbookAhead(const WorkbookPlacement& placement, PreparedPayloads& results) {
  // The names drawn here come from this thread's own generator.
  SeedRandomGenerator();
  if (MakeLaunchFolder(results.files)) return;
  PreparedPayload workbook = std::exchange(results.workbook, PreparedPayload{});
  results.workbookWritten = true;
  try {
    results.workbookFailure =
        WriteMainWorkbook(placement.exePath, placement.workbookFormat, std::move(workbook), results.files);
  } catch (const std::bad_alloc&) {
    results.workbookFailure = LaunchFailure::kOutOfMemory;
  } catch (...) {
    results.workbookFailure = LaunchFailure::kPayloadNotPrepared;
  }
}

}  // namespace

PreparedPayload PrepareAddin(bool is64) {
  return Prepared(
      [is64](PayloadBuffer& bytes) { return LoadPayload(is64 ? kAddin64Resource : kAddin32Resource, bytes); });
}

PreparedPayload PrepareWorkbook(bool externalStorage, PayloadBuffer storedWorkbook) {
  return Prepared([&](PayloadBuffer& bytes) {
    // The storage file's workbook was unpacked, and found sound, when the
    // file was read.
    if (externalStorage && !storedWorkbook.empty()) {
      bytes.swap(storedWorkbook);
      return PayloadState::kReady;
    }
    return LoadPayload(kMainWorkbookResource, bytes);
  });
}

PayloadPreparation::~PayloadPreparation() {
  if (worker_) WaitForSingleObject(worker_.get(), INFINITE);
  if (!taken_ && !results_.files.folder.empty()) RemoveLaunchFiles(results_.files);
}

void PayloadPreparation::Start(bool externalStorage, PayloadBuffer storedWorkbook, WorkbookPlacement placement) {
  externalStorage_ = externalStorage;
  storedWorkbook_ = std::move(storedWorkbook);
  placement_ = std::move(placement);
  // Without a thread, Take prepares on the launch's own thread and leaves
  // the folder and the workbook to their own steps.
  worker_ = StartThread([this] {
    PrepareAll(externalStorage_, storedWorkbook_, results_);
    WriteWorkbookAhead(placement_, results_);
  });
}

PreparedPayloads PayloadPreparation::Take() {
  if (worker_) {
    WaitForSingleObject(worker_.get(), INFINITE);
    worker_.reset();
  } else {
    PrepareAll(externalStorage_, storedWorkbook_, results_);
  }
  taken_ = true;
  return std::move(results_);
}

}  // namespace brisk
