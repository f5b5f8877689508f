#include "core/payload_preparation_win.h"

#include <utility>

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
    if (!IsContainerHeader(storedWorkbook.data(), storedWorkbook.size())) {
      workbook.bytes.swap(storedWorkbook);
      workbook.state = PayloadState::kReady;
    } else if (UnpackContainer(storedWorkbook.data(), storedWorkbook.size(), workbook.bytes)) {
      workbook.state = PayloadState::kReady;
    } else {
      workbook.state = PayloadState::kDamaged;
    }
    return workbook;
  }
  workbook.state = LoadPayload(kMainWorkbookResource, workbook.bytes);
  return workbook;
}

PayloadPreparation::~PayloadPreparation() {
  if (worker_.joinable()) worker_.join();
}

void PayloadPreparation::Start(bool externalStorage, PayloadBuffer storedWorkbook) {
  externalStorage_ = externalStorage;
  storedWorkbook_ = std::move(storedWorkbook);
  try {
    worker_ = std::thread([this] {
      results_.addin32 = PrepareAddin(false);
      results_.addin64 = PrepareAddin(true);
      results_.workbook = PrepareWorkbook(externalStorage_, std::move(storedWorkbook_));
    });
  } catch (const std::system_error&) {
    // No thread: Take prepares on the launch's own thread.
  }
}

PreparedPayloads PayloadPreparation::Take() {
  if (worker_.joinable()) {
    worker_.join();
  } else {
    results_.addin32 = PrepareAddin(false);
    results_.addin64 = PrepareAddin(true);
    results_.workbook = PrepareWorkbook(externalStorage_, std::move(storedWorkbook_));
  }
  return std::move(results_);
}

}  // namespace brisk
