// The launcher's working folders as the scenarios see them: the marker that
// names a folder's launcher and host, and folders that a scenario lays out
// itself to see what a clean-up does with them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/working_folder.h"
#include "scenario.h"

namespace brisk::e2e {

// The marker's file name (encoded string 62).
std::wstring MarkerName();

// The marker of a working folder, a folder name in the scenario's temporary
// folder; nothing when it has none or none that is valid.
std::optional<FolderMarker> ReadWorkingFolderMarker(const Scenario& scenario, const std::wstring& folderName);

// The stamp (id and start time) of a running process; an unknown stamp when
// it cannot be asked.
ProcessStamp StampOfProcessId(DWORD processId);

// Makes `folderName` in the scenario's temporary folder with one file,
// "keep.txt", and, when given, `markerText` as its marker file; false when
// something could not be made.
bool LayOutFolder(const Scenario& scenario, const std::wstring& folderName,
                  const std::optional<std::string>& markerText);

}  // namespace brisk::e2e
