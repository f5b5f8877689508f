#include "core/temp_files.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "core/random_names.h"
#include "base/unique_handle.h"
#include "base/wide_text.h"
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

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

UniqueFile OpenForWriting(const std::wstring& path) {
  return UniqueFile(_wfopen(path.c_str(), L"wb"));
}

// Writes all bytes and closes the file; a failing close counts, since it may
// be the moment the data reaches the disk.
bool WriteAndClose(UniqueFile file, const std::uint8_t* data, std::size_t size) {
  const bool written = size == 0 || std::fwrite(data, size, 1, file.get()) == 1;
  return std::fclose(file.release()) == 0 && written;
}

bool Exists(const std::u16string& path) {
  return GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string DrawName() {
  return RandomName(kRandomNameLength);
}

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
  return {GetEncodedStringW(kExeSuffix), GetEncodedStringW(kWorkbookExtFormat4),
          GetEncodedStringW(kWorkbookExtFormat2), GetEncodedStringW(kWorkbookExtDefault)};
}

// Deletes its file when the scope ends, whichever way it ends.
class DeleteAtExit {
 public:
  explicit DeleteAtExit(const std::wstring& path) : path_(path) {}
  ~DeleteAtExit() {
    if (!path_.empty() && IsFile(ToU16(path_))) _wremove(path_.c_str());
  }
  DeleteAtExit(const DeleteAtExit&) = delete;
  DeleteAtExit& operator=(const DeleteAtExit&) = delete;

 private:
  const std::wstring path_;
};

}  // namespace

bool WriteAddin(bool is64, LaunchFiles& files) {
  PayloadBuffer addin;
  LoadAndUnpackPayload(is64 ? kAddin64Resource : kAddin32Resource, addin);
  if (addin.size() <= kMinAddinBytes) return false;

  const auto folder = CreateWorkingFolder();
  if (!folder) return false;
  files.folder = *folder;
  files.addinPath = *folder + L"\\" + GetEncodedStringWide(kAddinFileName);
  UniqueFile file = OpenForWriting(files.addinPath);
  return file && WriteAndClose(std::move(file), addin.data(), addin.size());
}

bool WriteMainWorkbook(const std::wstring& exePath, const BuildSettings& settings, PayloadBuffer& storedWorkbook,
                       LaunchFiles& files) {
  PayloadBuffer buffer;
  if ((settings.flags & kFlagExternalStorage) && !storedWorkbook.empty()) {
    buffer.swap(storedWorkbook);
    UnpackInPlace(buffer);
  } else {
    LoadAndUnpackPayload(kMainWorkbookResource, buffer);
  }
  PayloadBuffer().swap(storedWorkbook);

  bool written = false;
  if (!files.folder.empty() && _waccess(files.folder.c_str(), 2) == 0) {
    const auto path = MainWorkbookPath(ToU16(files.folder), ToU16(exePath), settings.workbookFormat,
                                       WorkbookTexts(), Exists);
    if (path) {
      files.workbookPath = ToWide(*path);
      if (UniqueFile file = OpenForWriting(files.workbookPath)) {
        const auto content = WorkbookFileContent(buffer);
        written = WriteAndClose(std::move(file), content.data(), content.size());
      }
    }
  }
  return written;
}

void WriteCommandLineAndOpenAuxWorkbook(const HostApplication& host, std::wstring_view commandLine,
                                        LaunchFiles& files) {
  // Without a working folder there is nowhere private to write to.
  if (files.folder.empty()) return;
  const std::string content = CommandLineFileContent(Utf8FromWide(commandLine), Utf8FromWide(files.workbookPath));

  const std::wstring commandFile = ToWide(JoinPath(ToU16(files.folder), GetEncodedStringW(kCommandLineFileName)));
  const DeleteAtExit deleteCommandFile(commandFile);
  if (UniqueFile file = OpenForWriting(commandFile)) {
    WriteAndClose(std::move(file), reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
  }

  const auto auxPath =
      AuxWorkbookPath(ToU16(files.folder), DrawName, IsFile, GetEncodedStringW(kWorkbookExtDefault));
  if (!auxPath) return;
  files.auxWorkbookPath = ToWide(*auxPath);
  const DeleteAtExit deleteAuxWorkbook(files.auxWorkbookPath);
  if (UniqueFile file = OpenForWriting(files.auxWorkbookPath)) {
    PayloadBuffer aux;
    LoadAndUnpackPayload(kAuxWorkbookResource, aux);
    WriteAndClose(std::move(file), aux.data(), aux.size());
  }

  host.OpenWorkbook(files.auxWorkbookPath);
  Sleep(kAuxWorkbookOpenPause);
}

}  // namespace brisk
