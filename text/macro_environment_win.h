// The macro environment of the running launcher: shell folders and the ANSI
// code page from Windows, the application values from the launcher's state.
#pragma once

#include <functional>

#include "text/macro_environment.h"

namespace brisk {

class WinMacroEnvironment final : public MacroEnvironment {
 public:
  // `values` is asked at every Refresh, so the table follows the launcher's
  // state as it is then.
  explicit WinMacroEnvironment(std::function<MacroAppValues()> values);

  MacroAppValues ApplicationValues() const override;
  FolderQueryResult DocumentsFolder() const override;
  FolderQueryResult DesktopFolder() const override;
  std::string ToAnsiCodePage(std::u16string_view text) const override;

 private:
  std::function<MacroAppValues()> values_;
};

}  // namespace brisk
