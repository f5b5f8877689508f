#include "core/temp_files.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <optional>
#include <vector>

#include "base/file_write_win.h"
#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "core/random_names.h"
#include "core/temp_cleanup_win.h"
#include "core/workbook_name.h"
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

std::string DrawName() { return RandomName(kRandomNameLength); }

// Security attributes that give the current user, and nobody else, full
// access to a new folder and everything created in it (nothing inherited
// from the temporary root).
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return;
    user_.resize(size);
    if (!GetTokenInformation(token.get(), TokenUser, user_.data(), size, &size)) return;
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
    acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid));
    auto* acl = reinterpret_cast<ACL*>(acl_.data());
    if (!InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
      return;
    }
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    valid_ = true;
  }
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

  // Null when the descriptor could not be built: the folder then gets the
  // temporary root's inherited security, which is the user's own on
  // Windows, rather than the launch failing.
  SECURITY_ATTRIBUTES* attributes() { return valid_ ? &attributes_ : nullptr; }

 private:
  std::vector<std::uint8_t> user_;
  std::vector<std::uint8_t> acl_;
  SECURITY_DESCRIPTOR descriptor_ = {};
  SECURITY_ATTRIBUTES attributes_ = {};
  bool valid_ = false;
};

std::optional<std::wstring> CreateWorkingFolder() {
  wchar_t root[1024] = {};
  const DWORD length = GetTempPathW(1024, root);
  if (length == 0 || length >= 1024) return std::nullopt;
  OwnerOnlySecurity security;
  const auto folder = MakeWorkingFolder(ToU16(root), DrawName, Exists, [&security](const std::u16string& path) {
    return CreateDirectoryW(ToWide(path).c_str(), security.attributes()) != FALSE;
  });
  if (!folder) return std::nullopt;
  return ToWide(*folder);
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

FileWrite WriteAddin(PreparedPayload addin, LaunchFiles& files) {
  if (addin.state == PayloadState::kDamaged) return FileWrite::kDamaged;
  if (addin.bytes.size() <= kMinAddinBytes) return FileWrite::kFailed;

  const auto folder = CreateWorkingFolder();
  if (!folder) return FileWrite::kFailed;
  // The marker comes first, so that no file of this launch ever lies in a
  // folder that a clean-up would not recognise.
  if (!WriteFolderMarker(*folder, FolderMarker{StampOfProcess(GetCurrentProcess()), {}})) {
    RemoveDirectoryW(folder->c_str());
    return FileWrite::kFailed;
  }
  files.folder = *folder;
  files.addinPath = *folder + L"\\" + GetEncodedStringWide(kAddinFileName);
  return WriteFileInBlocks(files.addinPath, addin.bytes.data(), addin.bytes.size()) ? FileWrite::kWritten
                                                                                    : FileWrite::kFailed;
}

FileWrite WriteMainWorkbook(const std::wstring& exePath, std::uint32_t workbookFormat, PreparedPayload workbook,
                            LaunchFiles& files) {
  if (workbook.state == PayloadState::kDamaged) return FileWrite::kDamaged;
  if (files.folder.empty() || _waccess(files.folder.c_str(), 2) != 0) return FileWrite::kFailed;
  const auto path = MainWorkbookPath(ToU16(files.folder), ToU16(exePath), workbookFormat, WorkbookTexts(), Exists);
  if (!path) return FileWrite::kFailed;
  files.workbookPath = ToWide(*path);
  const auto content = WorkbookFileContent(workbook.bytes);
  return WriteFileInBlocks(files.workbookPath, content.data(), content.size()) ? FileWrite::kWritten
                                                                               : FileWrite::kFailed;
}

AuxWorkbookOpen WriteCommandLineAndOpenAuxWorkbook(const HostApplication& host, std::wstring_view commandLine,
                                                   LaunchFiles& files) {
  if (files.folder.empty()) return AuxWorkbookOpen::kFailed;
  const std::string content = CommandLineFileContent(Utf8FromWide(commandLine), Utf8FromWide(files.workbookPath));
  PayloadBuffer aux;
  if (LoadPayload(kAuxWorkbookResource, aux) != PayloadState::kReady) return AuxWorkbookOpen::kDamaged;
  const auto hostFolder = HostUsableFolder(files.folder);
  if (!hostFolder) return AuxWorkbookOpen::kPathUnusable;

  const std::u16string commandFileName = GetEncodedStringW(kCommandLineFileName);
  const DeleteAtExit deleteCommandFile(files.folder, commandFileName);
  if (!WriteFileInBlocks(ToWide(JoinPath(ToU16(files.folder), commandFileName)),
                         reinterpret_cast<const std::uint8_t*>(content.data()), content.size())) {
    return AuxWorkbookOpen::kFailed;
  }

  const auto auxPath = AuxWorkbookPath(ToU16(files.folder), DrawName, IsFile, GetEncodedStringW(kWorkbookExtDefault));
  if (!auxPath) return AuxWorkbookOpen::kFailed;
  files.auxWorkbookPath = ToWide(*auxPath);
  const std::u16string auxName = FileNameOfPath(*auxPath);
  const DeleteAtExit deleteAuxWorkbook(files.folder, auxName);
  if (!WriteFileInBlocks(files.auxWorkbookPath, aux.data(), aux.size())) return AuxWorkbookOpen::kFailed;

  const bool opened = host.OpenWorkbook(*hostFolder + L"\\" + ToWide(auxName));
  Sleep(kAuxWorkbookOpenPause);
  return opened ? AuxWorkbookOpen::kOpened : AuxWorkbookOpen::kHostRefused;
}

void RemoveLaunchFiles(const LaunchFiles& files) {
  WindowsCleanupFileSystem fileSystem;
  RemoveWorkingFolder(ToU16(files.folder),
                      {FileNameOfPath(ToU16(files.workbookPath)), FileNameOfPath(ToU16(files.addinPath))}, fileSystem,
                      kLaunchDeleteRetry);
}

}  // namespace brisk
