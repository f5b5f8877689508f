// Text macros of the form "<?" name "?>": a table of values and the single
// left-to-right expansion of wide and narrow texts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "text/macro_environment.h"

namespace brisk {

class MacroTable {
 public:
  using MacroMap = std::map<std::u16string, std::u16string, std::less<>>;

  // The environment is not owned and may be null: Refresh then sets nothing
  // and ExpandA converts values to UTF-8.
  explicit MacroTable(MacroEnvironment* environment = nullptr) noexcept : environment_(environment) {}
  // Virtual so that a derived table deleted through this class is destroyed whole.
  virtual ~MacroTable() = default;

  // Sets the standard macros APPNAME, EXEPATH, APPVER, APPINFO, MYDOCUMENTS
  // and DESKTOP from the environment; a folder query that fails leaves its
  // macro as it was.
  virtual void Refresh();

  void SetEnvironment(MacroEnvironment* environment) noexcept { environment_ = environment; }

  void SetMacro(std::u16string name, std::u16string value);
  bool HasMacro(std::u16string_view name) const;
  // The value, or an empty text when the name is absent.
  std::u16string GetMacro(std::u16string_view name) const;
  const MacroMap& Macros() const noexcept { return macros_; }

  // Macros whose name is in the table are replaced by their value; anything
  // else, unclosed markers included, stays as it is. Values are not scanned again.
  std::u16string ExpandW(std::u16string_view text) const;
  // The same on a narrow text: names are widened byte by byte, values are
  // converted to the ANSI code page by the environment (to UTF-8 without one).
  std::string ExpandA(std::string_view text) const;
  // The same on a UTF-8 text, with the values inserted as UTF-8: the narrow
  // message texts are UTF-8 and are shown after conversion from UTF-8, so an
  // ANSI value there would come out garbled.
  std::string ExpandUtf8(std::string_view text) const;

 private:
  MacroEnvironment* environment_;
  MacroMap macros_;
};

// The version word as "major.minor.build" from its three top bytes.
std::u16string FormatAppVersion(std::uint32_t appVersion);

}  // namespace brisk
