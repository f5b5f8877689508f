// The message table resource reader and the getters over what it stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "payload/encoded_strings.h"
#include "text/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brisk::MessageTable table;
  brisk::ByteReader reader(data, size);
  table.LoadFromResource(reader);

  brisk::MacroTable macros;
  macros.SetMacro(u"APPNAME", u"Fuzz <?APPNAME?>");
  for (const auto& [slot, text] : table.Texts()) {
    if (text.empty() || text.size() > brisk::kMaxResourceTextLength) std::abort();
    if (text.find('\0') != std::string::npos) std::abort();
    if (!table.HasText(slot)) std::abort();
  }
  for (const auto& key : brisk::kMessageKeys) {
    brisk::GetMessageTextW(&table, &macros, key.slot, brisk::kWarningTitleDefault);
    brisk::GetMessageTextA(&table, &macros, key.slot, brisk::kWarningTitleDefault);
  }
  for (const auto& [slot, text] : table.Texts()) {
    std::u16string wide = table.TextW(slot);
    std::string narrow = table.TextA(slot);
    if (wide.size() > narrow.size()) std::abort();
  }
  return 0;
}
