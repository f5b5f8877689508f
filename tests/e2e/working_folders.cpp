#include "working_folders.h"

#include "base/unique_handle.h"
#include "core/temp_cleanup_win.h"
#include "core/working_folder_win.h"
#include "payload/encoded_strings.h"

namespace brisk::e2e {

std::wstring MarkerName() { return Wide(GetEncodedStringA(kWorkingFolderMarkerName)); }

std::optional<FolderMarker> ReadWorkingFolderMarker(const Scenario& scenario, const std::wstring& folderName) {
  const std::optional<std::string> text =
      ReadFileBytes(scenario.tempFolder() + L"\\" + folderName + L"\\" + MarkerName());
  if (!text) return std::nullopt;
  return ParseFolderMarker(*text);
}

ProcessStamp StampOfProcessId(DWORD processId) {
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  return process ? StampOfProcess(process.get()) : ProcessStamp{};
}

bool LayOutFolder(const Scenario& scenario, const std::wstring& folderName,
                  const std::optional<std::string>& markerText) {
  const std::wstring folder = scenario.tempFolder() + L"\\" + folderName;
  if (!CreateDirectoryW(folder.c_str(), nullptr)) return false;
  if (markerText && !WriteFileBytes(folder + L"\\" + MarkerName(), *markerText)) return false;
  return WriteFileBytes(folder + L"\\keep.txt", "kept\n");
}

}  // namespace brisk::e2e
