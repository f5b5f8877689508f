#include "core/payload_preparation_win.h"

#include <utility>

#include "base/thread_win.h"

#include "payload/container.h"
#include "payload/payload_ids.h"

namespace brisk {

PreparedPayload PrepareAddin(bool is64) {
  PreparedPayload addin;
  addin.state = LoadPayload(is64 ? kAddin64Resource : kAddin32Resource, addin.bytes);
  return addin;
}

PreparedPayload PrepareWorkbook(bool externalStorage, PayloadBuffer storedWorkbook) {
  PreparedPayload workbook;
  if (externalStorage && !storedWorkbook.empty()) {
    workbook.state = UnpackPayloadInPlace(storedWorkbook);
    workbook.bytes.swap(storedWorkbook);
    return workbook;
  }
  workbook.state = LoadPayload(kMainWorkbookResource, workbook.bytes);
  return workbook;
}

PayloadPreparation::~PayloadPreparation() {
  if (worker_) WaitForSingleObject(worker_.get(), INFINITE);
}

void PayloadPreparation::Start(bool externalStorage, PayloadBuffer storedWorkbook) {
  externalStorage_ = externalStorage;
  storedWorkbook_ = std::move(storedWorkbook);
  // Without a thread, Take prepares on the launch's own thread.
  worker_ = StartThread([this] {
    results_.addin32 = PrepareAddin(false);
    results_.addin64 = PrepareAddin(true);
    results_.workbook = PrepareWorkbook(externalStorage_, std::move(storedWorkbook_));
  });
}

PreparedPayloads PayloadPreparation::Take() {
  if (worker_) {
    WaitForSingleObject(worker_.get(), INFINITE);
    worker_.reset();
  } else {
    results_.addin32 = PrepareAddin(false);
    results_.addin64 = PrepareAddin(true);
    results_.workbook = PrepareWorkbook(externalStorage_, std::move(storedWorkbook_));
  }
  return std::move(results_);
}

}  // namespace brisk
