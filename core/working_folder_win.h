// The working folder on the real file system: the one temporary root that
// its creation, the sweep and the clean-up all use, its creation with
// owner-only security, its marker and the process stamps the marker holds.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/working_folder.h"

namespace brisk {

// The system's temporary root as GetTempPathW gives it (with its trailing
// backslash); empty when it cannot be read.
std::u16string SystemTempRoot();

// Seeds the C runtime's random generator, which draws the working folder's
// and the auxiliary workbook's names, from the time and the clock.
void SeedRandomGenerator();

// A random name of kWorkingFolderNameLength from the seeded generator.
std::string DrawRandomName();

// Makes a new working folder under the temporary root, open to the current
// user only. Nothing when no folder could be made.
std::optional<std::wstring> CreateWorkingFolder();

// The stamp of a process whose handle allows PROCESS_QUERY_LIMITED_INFORMATION.
ProcessStamp StampOfProcess(HANDLE process);

// Writes the marker into a working folder the launch has just made (or
// rewrites it once the host is known).
bool WriteFolderMarker(const std::wstring& folder, const FolderMarker& marker);

}  // namespace brisk
