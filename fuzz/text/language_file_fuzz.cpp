// The text form of the message table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/language_file.h"
#include "text/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  auto sections = brisk::ParseLanguageText(bytes);
  if (sections.empty() || !sections.front().name.empty()) std::abort();
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const auto& section = sections[i];
    if (i > 0 && (section.name.empty() || section.name.front() == ' ' || section.name.front() == '\t')) std::abort();
    for (const auto& entry : section.entries) {
      if (entry.key.empty() || entry.key.find('=') != std::string::npos) std::abort();
      if (entry.key.size() + entry.value.size() >= brisk::kLanguageLinePiece) std::abort();
      if (entry.value.find('\n') != std::string::npos || entry.value.find('\0') != std::string::npos) std::abort();
    }
  }

  // The builder's check: what it accepts is the file, or the file after its
  // byte-order mark.
  const brisk::LanguageTextCheck check = brisk::CheckLanguageText(bytes);
  if (!check.error && check.text != bytes && (bytes.size() < 3 || check.text != bytes.substr(3))) std::abort();
  if (check.error && !check.text.empty()) std::abort();
  // Every note names a line of the file, or the file as a whole.
  const std::size_t lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
  if (check.error && check.error->line > lines) std::abort();
  for (const auto& warning : check.warnings) {
    if (warning.line == 0 || warning.line > lines || warning.message.empty()) std::abort();
  }

  brisk::MessageTable table;
  table.LoadFromLanguageText(bytes);
  for (const auto& [slot, text] : table.Texts()) {
    if (text.empty() || text.front() == ' ' || text.front() == '\t') std::abort();
    table.TextW(slot);
  }
  return 0;
}
