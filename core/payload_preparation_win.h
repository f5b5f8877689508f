// The payloads a launch writes into its working folder, unpacked ahead of
// time: on a worker thread while the host application starts, so that the
// writes at their steps find the bytes ready. Nothing reaches the disk
// earlier than without it, and a failed unpack is reported at the step that
// writes the file.
#pragma once

#include "base/unique_handle.h"

#include "payload/build_settings.h"
#include "payload/payload_buffer.h"
#include "payload/payload_resource.h"

namespace brisk {

struct PreparedPayload {
  // False until a preparation has run to its end: a worker that failed
  // half-way leaves it so, and the step that writes the file says so
  // instead of writing nothing.
  bool prepared = false;
  PayloadState state = PayloadState::kMissing;
  PayloadBuffer bytes;  // empty unless the state is kReady
};

struct PreparedPayloads {
  PreparedPayload addin32;
  PreparedPayload addin64;
  PreparedPayload workbook;
};

// The add-in of one bitness (payload 1025 or 1027), unpacked.
PreparedPayload PrepareAddin(bool is64);

// The main workbook: in external storage mode the workbook of the storage
// file when `storedWorkbook` holds one (unpacked when the file was read),
// else payload 1020. A container that does not unpack is kDamaged.
PreparedPayload PrepareWorkbook(bool externalStorage, PayloadBuffer storedWorkbook);

// Runs the three preparations on a thread of its own. The thread touches
// only this object, which joins it before it goes (or in Take), so a launch
// that ends early simply drops what was unpacked. A preparation that runs
// out of memory gives kOutOfMemory; one that fails in any other way leaves
// its payload, and those after it, not prepared.
class PayloadPreparation {
 public:
  PayloadPreparation() = default;
  ~PayloadPreparation();
  PayloadPreparation(const PayloadPreparation&) = delete;
  PayloadPreparation& operator=(const PayloadPreparation&) = delete;

  void Start(bool externalStorage, PayloadBuffer storedWorkbook);
  // Waits for the worker when one was started and hands over its results;
  // without one, prepares everything on the calling thread.
  PreparedPayloads Take();

 private:
  UniqueHandle worker_;
  PreparedPayloads results_;
  bool externalStorage_ = false;
  PayloadBuffer storedWorkbook_;
};

}  // namespace brisk
