// A macro environment whose answers the tests set.
#pragma once

#include <string>

#include "text/macro_environment.h"

namespace brisk::test {

class FakeMacroEnvironment : public MacroEnvironment {
 public:
  MacroAppValues values;
  FolderQueryResult documents{kFolderQueryOk, u"C:\\Users\\u\\Documents"};
  FolderQueryResult desktop{kFolderQueryOk, u"C:\\Users\\u\\Desktop"};

  MacroAppValues ApplicationValues() const override { return values; }
  FolderQueryResult DocumentsFolder() const override { return documents; }
  FolderQueryResult DesktopFolder() const override { return desktop; }
  // A code page of ASCII only, with "?" for everything else.
  std::string ToAnsiCodePage(std::u16string_view text) const override {
    std::string narrow;
    for (char16_t unit : text) narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return narrow;
  }
};

}  // namespace brisk::test
