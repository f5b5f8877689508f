// The launch's temporary files: the add-in, the main workbook, the
// command-line file and the auxiliary workbook, all in one private working
// folder under the system's temporary root. CleanupTempFiles
// (core/temp_cleanup_win.h) removes them again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/launch_failure.h"
#include "core/launch_files.h"
#include "core/payload_preparation_win.h"
#include "core/temp_cleanup.h"
#include "host/host_application.h"
#include "payload/build_settings.h"
#include "payload/payload_buffer.h"

namespace brisk {

// How often the launch tries again to delete a file that the host still
// holds, and the pause between: at most 5 s per file, so that a launch never
// keeps its user waiting on a file. What stays is removed by a later sweep.
inline constexpr CleanupRetry kLaunchDeleteRetry{25, 200};

// Each writer returns nothing when its files are written, else why not:
// kBuildDamaged for a payload that is missing or damaged, kAddinNotWritten
// for a folder or a file that could not be made or written.

// Makes the working folder and marks it as this launcher's (see
// working_folder.h): the marker comes first, so that no file of this launch
// ever lies in a folder that a clean-up would not recognise. Sets
// files.folder.
std::optional<LaunchFailure> MakeLaunchFolder(LaunchFiles& files);

// Writes the add-in (PrepareAddin) under encoded string 48 into the working
// folder, made first (MakeLaunchFolder) when there is none yet. An add-in
// payload of 10 bytes or less, or none, makes no folder: the build has no
// add-in for a host of that bitness (`forHost64`). Sets files.addinPath once
// it exists.
std::optional<LaunchFailure> WriteAddin(PreparedPayload addin, bool forHost64, LaunchFiles& files);

// Writes the main workbook (PrepareWorkbook) beside the add-in, named after
// the executable and `workbookFormat`. Sets files.workbookPath.
std::optional<LaunchFailure> WriteMainWorkbook(const std::wstring& exePath, std::uint32_t workbookFormat,
                                               PreparedPayload workbook, LaunchFiles& files);

// Writes the command-line file (`commandLine`, then the workbook path) and
// the auxiliary workbook (payload 1018), opens the auxiliary workbook in the
// host, waits 100 ms and deletes both files again (with kLaunchDeleteRetry),
// also when the host call raises (the _com_error then goes on). A command
// line that is no valid UTF-16 raises before any file is written. Sets
// files.auxWorkbookPath. Besides the writers' failures: kTempPathUnusable
// when the working folder has no path the host can load the add-in from.
//
// What the host answers to the open is no failure: the workbook closes
// itself in its open handler, so a host may answer with no object, an error
// or an object it has already disconnected, and the add-in has still taken
// over. One that never took over is caught by the window check and the
// ready wait. Only a host whose process went away during the open raises
// (_com_error); the answer is kept for the launch log.
//
// The host's open handler loads the add-in from the workbook's folder with
// an 8-bit (ANSI) path: when the folder's path cannot be written in the ANSI
// code page, the host is given its short form, which can.
struct AuxWorkbookOpen {
  std::optional<LaunchFailure> failure;
  HRESULT hostAnswer = S_OK;  // the open's HRESULT, when it was made
  bool workbookReturned = false;
};
AuxWorkbookOpen WriteCommandLineAndOpenAuxWorkbook(const HostApplication& host, std::wstring_view commandLine,
                                                   LaunchFiles& files);

// Removes the launch's working folder: the workbook and the add-in with
// kLaunchDeleteRetry, then everything else of the folder once, the marker
// last, then the folder itself.
void RemoveLaunchFiles(const LaunchFiles& files);

}  // namespace brisk
