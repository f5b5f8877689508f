#include "core/working_folder_win.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "payload/encoded_strings.h"

namespace brisk {

namespace {

bool Exists(const std::u16string& path) { return GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

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

}  // namespace

std::u16string SystemTempRoot() {
  // GetTempPathW never needs more than MAX_PATH + 1 units and its terminator.
  wchar_t root[MAX_PATH + 2] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 2, root);
  if (length == 0 || length > MAX_PATH + 1) return {};
  return ToU16(std::wstring(root, length));
}

void SeedRandomGenerator() {
  std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(std::clock()));
}

std::string DrawRandomName() { return RandomName(kWorkingFolderNameLength); }

std::optional<std::wstring> CreateWorkingFolder() {
  const std::u16string root = SystemTempRoot();
  if (root.empty()) return std::nullopt;
  OwnerOnlySecurity security;
  const auto folder = MakeWorkingFolder(root, DrawRandomName, Exists, [&security](const std::u16string& path) {
    return CreateDirectoryW(ToWide(path).c_str(), security.attributes()) != FALSE;
  });
  if (!folder) return std::nullopt;
  return ToWide(*folder);
}

ProcessStamp StampOfProcess(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return {};
  return ProcessStamp{GetProcessId(process),
                      (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
}

bool WriteFolderMarker(const std::wstring& folder, const FolderMarker& marker) {
  // Written under a scratch name, then moved over the marker in one step: a
  // write that fails half-way leaves the marker as it was, never an empty one
  // that would keep every sweep away from the folder.
  const std::wstring path = ToWide(JoinPath(ToU16(folder), GetEncodedStringW(kWorkingFolderMarkerName)));
  const std::wstring scratch = path + L"~";
  const std::string content = FormatFolderMarker(marker);
  bool written = false;
  {
    const UniqueFileHandle file(
        CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD count = 0;
    written = WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &count, nullptr) &&
              count == content.size();
  }
  if (written && MoveFileExW(scratch.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(scratch.c_str());
  return false;
}

}  // namespace brisk
