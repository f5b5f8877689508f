#include "text/macro_table.h"

#include <optional>
#include <string>
#include <utility>

#include "base/utf.h"

namespace brisk {

namespace {

// One left-to-right pass over `text`. `lookup` gives the value of a non-empty
// name, or nothing when the name is unknown.
template <typename Char, typename Lookup>
std::basic_string<Char> Expand(std::basic_string_view<Char> text, Lookup lookup) {
  using View = std::basic_string_view<Char>;
  constexpr Char kOpenMarker[] = {Char('<'), Char('?')};
  constexpr Char kCloseMarker[] = {Char('?'), Char('>')};
  const View open(kOpenMarker, 2);
  const View close(kCloseMarker, 2);

  std::basic_string<Char> out;
  out.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t opening = text.find(open, position);
    if (opening == View::npos) break;
    out.append(text.substr(position, opening - position));
    // Searched from the opening marker itself, so "<?>" closes at once.
    std::size_t closing = text.find(close, opening);
    if (closing == View::npos) {
      position = opening;
      break;
    }
    // When the two markers share their "?" there is no name at all: the marker
    // is copied and the text after it is read on as ordinary text.
    std::size_t nameStart = opening + open.size();
    View name = closing > nameStart ? text.substr(nameStart, closing - nameStart) : View();
    std::optional<std::basic_string<Char>> value;
    if (!name.empty()) value = lookup(name);
    if (value) {
      out += *value;
    } else {
      out.append(text.substr(opening, closing + close.size() - opening));
    }
    position = closing + close.size();
  }
  if (position < text.size()) out.append(text.substr(position));
  return out;
}

}  // namespace

void MacroTable::Refresh() {
  if (environment_ == nullptr) return;
  MacroAppValues values = environment_->ApplicationValues();
  SetMacro(u"APPNAME", std::move(values.appName));
  SetMacro(u"EXEPATH", std::move(values.exeDir));
  SetMacro(u"APPVER", FormatAppVersion(values.appVersion));
  SetMacro(u"APPINFO", std::move(values.appInfo));
  FolderQueryResult documents = environment_->DocumentsFolder();
  if (documents.status == kFolderQueryOk) SetMacro(u"MYDOCUMENTS", std::move(documents.path));
  FolderQueryResult desktop = environment_->DesktopFolder();
  if (desktop.status == kFolderQueryOk && !desktop.path.empty()) {
    SetMacro(u"DESKTOP", std::move(desktop.path));
  }
}

void MacroTable::SetMacro(std::u16string name, std::u16string value) {
  macros_.insert_or_assign(std::move(name), std::move(value));
}

bool MacroTable::HasMacro(std::u16string_view name) const { return macros_.find(name) != macros_.end(); }

std::u16string MacroTable::GetMacro(std::u16string_view name) const {
  auto found = macros_.find(name);
  return found == macros_.end() ? std::u16string() : found->second;
}

std::u16string MacroTable::ExpandW(std::u16string_view text) const {
  return Expand(text, [this](std::u16string_view name) -> std::optional<std::u16string> {
    auto found = macros_.find(name);
    if (found == macros_.end()) return std::nullopt;
    return found->second;
  });
}

std::string MacroTable::ExpandA(std::string_view text) const {
  return Expand(text, [this](std::string_view name) -> std::optional<std::string> {
    auto found = macros_.find(WidenBytes(name));
    if (found == macros_.end()) return std::nullopt;
    if (environment_ != nullptr) return environment_->ToAnsiCodePage(found->second);
    return Utf16ToUtf8Lossy(found->second);
  });
}

std::string MacroTable::ExpandUtf8(std::string_view text) const {
  return Expand(text, [this](std::string_view name) -> std::optional<std::string> {
    auto found = macros_.find(WidenBytes(name));
    if (found == macros_.end()) return std::nullopt;
    return Utf16ToUtf8Lossy(found->second);
  });
}

std::u16string FormatAppVersion(std::uint32_t appVersion) {
  // std::to_string rather than snprintf: the launcher links no printf family.
  return WidenBytes(std::to_string(appVersion >> 24) + "." + std::to_string((appVersion >> 16) & 0xFF) + "." +
                    std::to_string((appVersion >> 8) & 0xFF));
}

}  // namespace brisk
