// Macro expansion of wide and narrow texts.
//
// Input: a count byte, then that many (count % 8) macros, each a name and a
// value ended by a zero byte; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/macro_table.h"
#include "base/utf.h"

namespace {

std::string_view TakeUntilZero(std::string_view& input) {
  std::size_t end = input.find('\0');
  std::string_view part = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return part;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const int count = data[0] % 8;

  brisk::MacroTable table;
  bool asciiValues = true;
  for (int i = 0; i < count; ++i) {
    std::string_view name = TakeUntilZero(input);
    std::string_view value = TakeUntilZero(input);
    asciiValues = asciiValues && IsAscii(value);
    table.SetMacro(brisk::WidenBytes(name), brisk::WidenBytes(value));
  }
  const std::string_view text = input;

  std::string narrow = table.ExpandA(text);
  std::u16string wide = table.ExpandW(brisk::WidenBytes(text));
  // With values that read the same in both forms, both expansions agree.
  if (asciiValues && wide != brisk::WidenBytes(narrow)) std::abort();
  // A text without an opening marker is never changed.
  if (text.find("<?") == std::string_view::npos && narrow != text) std::abort();

  // The same bytes read as UTF-16 code units, surrogates and all.
  std::u16string units;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    units.push_back(
        static_cast<char16_t>(static_cast<unsigned char>(text[i]) | static_cast<unsigned char>(text[i + 1]) << 8));
  }
  table.ExpandW(units);
  brisk::Utf16ToUtf8Lossy(table.ExpandW(units));
  return 0;
}
