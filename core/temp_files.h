// The launch's temporary files: the add-in, the main workbook, the
// command-line file and the auxiliary workbook, all in one private working
// folder under the system's temporary root. CleanupTempFiles
// (core/temp_cleanup_win.h) removes them again.
#pragma once

#include <string>
#include <string_view>

#include "host/host_application.h"
#include "payload/build_settings.h"
#include "payload/payload_buffer.h"

namespace brisk {

// The paths of one launch's files; each is empty until its file is made.
struct LaunchFiles {
  std::wstring folder;  // the working folder, without trailing backslash
  std::wstring addinPath;
  std::wstring workbookPath;
  std::wstring auxWorkbookPath;
};

// Makes the working folder and writes payload 1027 (is64) or 1025 there
// under encoded string 48. Fails for a payload of 10 bytes or less (no folder
// is made then), a folder or file that cannot be made, or an incomplete
// write. Sets files.folder and files.addinPath once they exist.
bool WriteAddin(bool is64, LaunchFiles& files);

// Writes the main workbook beside the add-in, named after the executable:
// in external storage mode the workbook of the storage file when
// `storedWorkbook` holds one, else payload 1020. Sets files.workbookPath.
// `storedWorkbook` is empty afterwards, whatever happens.
bool WriteMainWorkbook(const std::wstring& exePath, const BuildSettings& settings, PayloadBuffer& storedWorkbook,
                       LaunchFiles& files);

// Writes the command-line file (`commandLine`, then the workbook path) and
// the auxiliary workbook (payload 1018), opens the auxiliary workbook in the
// host, waits 100 ms and deletes both files again, also when the host call
// raises (the _com_error then goes on). A command line that is no valid
// UTF-16 raises before any file is written. Without a working folder it does
// nothing. Sets files.auxWorkbookPath.
void WriteCommandLineAndOpenAuxWorkbook(const HostApplication& host, std::wstring_view commandLine,
                                        LaunchFiles& files);

}  // namespace brisk
