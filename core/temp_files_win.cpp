#include "core/temp_files.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <optional>
#include <vector>

#include "base/file_write_win.h"
#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "core/temp_cleanup_win.h"
#include "core/workbook_name.h"
#include "core/working_folder_win.h"
#include "host/host_application.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "payload/payload_resource.h"

namespace brisk {

namespace {

// An add-in payload must be longer than this.
constexpr std::size_t kMinAddinBytes = 10;
constexpr DWORD kAuxWorkbookOpenPause = 100;

bool Exists(const std::u16string& path) { return GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFile(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

WorkbookNameTexts WorkbookTexts() {
  return {GetEncodedStringW(kExeSuffix), GetEncodedStringW(kWorkbookExtFormat4), GetEncodedStringW(kWorkbookExtFormat2),
          GetEncodedStringW(kWorkbookExtDefault)};
}

// Deletes its file when the scope ends, whichever way it ends, trying again
// while the host still holds it.
class DeleteAtExit {
 public:
  DeleteAtExit(const std::wstring& folder, const std::u16string& name) : folder_(ToU16(folder)), name_(name) {}
  ~DeleteAtExit() {
    WindowsCleanupFileSystem fileSystem;
    RemoveEntryWithRetries(folder_, name_, fileSystem, kLaunchDeleteRetry);
  }
  DeleteAtExit(const DeleteAtExit&) = delete;
  DeleteAtExit& operator=(const DeleteAtExit&) = delete;

 private:
  const std::u16string folder_;
  const std::u16string name_;
};

// The folder as the host can reach it with an 8-bit path: as it is when its
// path survives the ANSI code page, else its short form when that does.
std::optional<std::wstring> HostUsableFolder(const std::wstring& folder) {
  if (RoundTripsThroughAnsi(folder)) return folder;
  std::wstring shortForm(32768, L'\0');
  const DWORD length = GetShortPathNameW(folder.c_str(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
  if (length == 0 || length >= shortForm.size()) return std::nullopt;
  shortForm.resize(length);
  if (!RoundTripsThroughAnsi(shortForm)) return std::nullopt;
  return shortForm;
}

}  // namespace

namespace {

// What keeps a prepared payload from being written, if anything.
std::optional<LaunchFailure> PreparationFailure(const PreparedPayload& payload) {
  if (!payload.prepared) return LaunchFailure::kPayloadNotPrepared;
  if (payload.state == PayloadState::kOutOfMemory) return LaunchFailure::kOutOfMemory;
  if (payload.state == PayloadState::kDamaged) return LaunchFailure::kBuildDamaged;
  return std::nullopt;
}

}  // namespace

std::optional<LaunchFailure> MakeLaunchFolder(LaunchFiles& files) {
  const auto folder = CreateWorkingFolder();
  if (!folder) return LaunchFailure::kAddinNotWritten;
  if (!WriteFolderMarker(*folder, FolderMarker{StampOfProcess(GetCurrentProcess()), {}})) {
    RemoveDirectoryW(folder->c_str());
    return LaunchFailure::kAddinNotWritten;
  }
  files.folder = *folder;
  return std::nullopt;
}

std::optional<LaunchFailure> WriteAddin(PreparedPayload addin, bool forHost64, LaunchFiles& files) {
  if (const auto failure = PreparationFailure(addin)) return failure;
  // The 64-bit add-in is optional in a build: a build without the add-in of
  // the host's bitness is told as such, not as a disk that is full.
  if (addin.bytes.size() <= kMinAddinBytes) {
    return forHost64 ? LaunchFailure::kNoAddinFor64BitHost : LaunchFailure::kNoAddinFor32BitHost;
  }

  if (files.folder.empty()) {
    if (const auto failure = MakeLaunchFolder(files)) return failure;
  }
  files.addinPath = ToWide(JoinPath(ToU16(files.folder), GetEncodedStringW(kAddinFileName)));
  if (!WriteFileInBlocks(files.addinPath, addin.bytes.data(), addin.bytes.size())) {
    return LaunchFailure::kAddinNotWritten;
  }
  return std::nullopt;
}

std::optional<LaunchFailure> WriteMainWorkbook(const std::wstring& exePath, std::uint32_t workbookFormat,
                                               PreparedPayload workbook, LaunchFiles& files) {
  if (const auto failure = PreparationFailure(workbook)) return failure;
  if (files.folder.empty() || _waccess(files.folder.c_str(), 2) != 0) return LaunchFailure::kAddinNotWritten;
  const auto path = MainWorkbookPath(ToU16(files.folder), ToU16(exePath), workbookFormat, WorkbookTexts(), Exists);
  if (!path) return LaunchFailure::kAddinNotWritten;
  files.workbookPath = ToWide(*path);
  const auto content = WorkbookFileContent(workbook.bytes);
  if (!WriteFileInBlocks(files.workbookPath, content.data(), content.size())) return LaunchFailure::kAddinNotWritten;
  return std::nullopt;
}

AuxWorkbookOpen WriteCommandLineAndOpenAuxWorkbook(const HostApplication& host, std::wstring_view commandLine,
                                                   LaunchFiles& files) {
  if (files.folder.empty()) return {LaunchFailure::kAddinNotWritten};
  const std::string content = CommandLineFileContent(Utf8FromWide(commandLine), Utf8FromWide(files.workbookPath));
  PayloadBuffer aux;
  switch (LoadPayload(kAuxWorkbookResource, aux)) {
    case PayloadState::kReady:
      break;
    case PayloadState::kOutOfMemory:
      return {LaunchFailure::kOutOfMemory};
    case PayloadState::kMissing:
    case PayloadState::kDamaged:
      return {LaunchFailure::kBuildDamaged};
  }
  const auto hostFolder = HostUsableFolder(files.folder);
  if (!hostFolder) return {LaunchFailure::kTempPathUnusable};

  const std::u16string commandFileName = GetEncodedStringW(kCommandLineFileName);
  const DeleteAtExit deleteCommandFile(files.folder, commandFileName);
  if (!WriteFileInBlocks(ToWide(JoinPath(ToU16(files.folder), commandFileName)),
                         reinterpret_cast<const std::uint8_t*>(content.data()), content.size())) {
    return {LaunchFailure::kAddinNotWritten};
  }

  const auto auxPath =
      AuxWorkbookPath(ToU16(files.folder), DrawRandomName, IsFile, GetEncodedStringW(kWorkbookExtDefault));
  if (!auxPath) return {LaunchFailure::kAddinNotWritten};
  files.auxWorkbookPath = ToWide(*auxPath);
  const std::u16string auxName = FileNameOfPath(*auxPath);
  const DeleteAtExit deleteAuxWorkbook(files.folder, auxName);
  if (!WriteFileInBlocks(files.auxWorkbookPath, aux.data(), aux.size())) return {LaunchFailure::kAddinNotWritten};

  const WorkbookOpen opened = host.OpenWorkbook(ToWide(JoinPath(ToU16(*hostFolder), auxName)));
  const AuxWorkbookOpen answer{std::nullopt, opened.hr, opened.workbookReturned};
  Sleep(kAuxWorkbookOpenPause);
  return answer;
}

void RemoveLaunchFiles(const LaunchFiles& files) {
  WindowsCleanupFileSystem fileSystem;
  RemoveWorkingFolder(ToU16(files.folder),
                      {FileNameOfPath(ToU16(files.workbookPath)), FileNameOfPath(ToU16(files.addinPath))}, fileSystem,
                      kLaunchDeleteRetry);
}

}  // namespace brisk
