// The payloads a launch writes into its working folder, unpacked ahead of
// time on a worker thread while the host application starts; and the
// working folder with the main workbook in it, made and written there too,
// so that the workbook's write is off the launch's path. The host learns of
// no file earlier than without it: the folder is private, and the host is
// told of the workbook only with the auxiliary workbook. The add-in is still
// written at its own step (its bitness is known only once the host runs). A
// failed unpack or write is reported at the step that used to write the
// file, with the same notice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/unique_handle.h"
#include "core/launch_failure.h"
#include "core/launch_files.h"

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
  // The main workbook, until it is written (empty once the worker wrote it).
  PreparedPayload workbook;
  // The working folder and the main workbook in it, when the worker made
  // them; otherwise the launch makes them at their own steps.
  LaunchFiles files;
  bool workbookWritten = false;
  // Why the worker could not write the workbook into its folder.
  std::optional<LaunchFailure> workbookFailure;
};

// Where the main workbook goes: named after the executable, in the format's
// extension (core/workbook_name.h).
struct WorkbookPlacement {
  std::wstring exePath;
  std::uint32_t workbookFormat = 0;
};

// The add-in of one bitness (payload 1025 or 1027), unpacked.
PreparedPayload PrepareAddin(bool is64);

// The main workbook: in external storage mode the workbook of the storage
// file when `storedWorkbook` holds one (unpacked when the file was read),
// else payload 1020. A container that does not unpack is kDamaged.
PreparedPayload PrepareWorkbook(bool externalStorage, PayloadBuffer storedWorkbook);

// Runs the three preparations on a thread of its own, then makes the working
// folder and writes the main workbook into it. The thread touches only this
// object, which joins it before it goes (or in Take): a launch that ends
// before it took the results drops what was unpacked and removes the folder
// the worker made. A preparation that runs out of memory gives
// kOutOfMemory; one that fails in any other way leaves its payload, and
// those after it, not prepared.
class PayloadPreparation {
 public:
  PayloadPreparation() = default;
  ~PayloadPreparation();
  PayloadPreparation(const PayloadPreparation&) = delete;
  PayloadPreparation& operator=(const PayloadPreparation&) = delete;

  void Start(bool externalStorage, PayloadBuffer storedWorkbook, WorkbookPlacement placement);
  // Waits for the worker when one was started and hands over its results;
  // without one, prepares everything on the calling thread.
  PreparedPayloads Take();

 private:
  UniqueHandle worker_;
  PreparedPayloads results_;
  bool externalStorage_ = false;
  PayloadBuffer storedWorkbook_;
  WorkbookPlacement placement_;
  bool taken_ = false;
};

}  // namespace brisk
