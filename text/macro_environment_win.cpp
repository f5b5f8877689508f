#include "text/macro_environment_win.h"

#include <windows.h>
#include <shlobj.h>

#include <utility>

#include "base/wide_text.h"

namespace brisk {

namespace {

FolderQueryResult QueryFolder(int csidl) {
  // 1,024 bytes, cleared before every query so that a failed call leaves no
  // text from an earlier one.
  wchar_t buffer[512] = {};
  HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  buffer[511] = L'\0';
  FolderQueryResult folder;
  folder.status = static_cast<std::int32_t>(result);
  for (const wchar_t* unit = buffer; *unit != L'\0'; ++unit) folder.path.push_back(static_cast<char16_t>(*unit));
  return folder;
}

}  // namespace

WinMacroEnvironment::WinMacroEnvironment(std::function<MacroAppValues()> values) : values_(std::move(values)) {}

MacroAppValues WinMacroEnvironment::ApplicationValues() const { return values_ ? values_() : MacroAppValues(); }

FolderQueryResult WinMacroEnvironment::DocumentsFolder() const { return QueryFolder(CSIDL_PERSONAL); }

FolderQueryResult WinMacroEnvironment::DesktopFolder() const { return QueryFolder(CSIDL_DESKTOP); }

std::string WinMacroEnvironment::ToAnsiCodePage(std::u16string_view text) const { return AnsiFromWide(ToWide(text)); }

}  // namespace brisk
