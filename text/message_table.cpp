#include "text/message_table.h"

#include <algorithm>
#include <iterator>
#include <system_error>

#include "text/language_file.h"
#include "base/utf.h"
#include "text/text_convert.h"

namespace brisk {

namespace {

constexpr std::size_t kResourceHeaderFields = 12;

}  // namespace

MessageTable::~MessageTable() = default;

void MessageTable::LoadFromLanguageText(std::string_view bytes) {
  std::vector<LanguageSection> sections = ParseLanguageText(bytes);
  const LanguageSection* content = FindSection(sections, "content");
  if (content == nullptr) return;
  for (const MessageKey& key : kMessageKeys) {
    const std::string* value = FindEntry(*content, key.name);
    if (value == nullptr) continue;
    std::string_view text = *value;
    std::size_t start = text.find_first_not_of(" \t");
    if (start != std::string_view::npos) Store(key.slot, text.substr(start));
  }
}

// Header: size H, entry count N, a reserved field; entries start H bytes in.
// A header larger than its three fields is skipped whole, and one that claims
// more bytes than there are leaves the table as it was. Each entry is slot,
// length L and L bytes of text, which ends at its first zero byte. A text
// longer than kMaxResourceTextLength is cut to that length; its entry is
// still consumed whole so that the entries after it are read in step.
// Reading stops at the first field that the data cannot fill: what follows a
// cut-off entry is not a table any more.
void MessageTable::LoadFromResource(ByteReader& reader) {
  auto header = reader.Peek(kResourceHeaderFields);
  if (header.size() < kResourceHeaderFields) return;
  std::uint32_t headerSize = LoadU32(header.first<4>());
  std::uint32_t count = LoadU32(header.subspan<4, 4>());
  if (!reader.Skip(headerSize)) return;
  for (std::uint32_t entry = 0; entry < count; ++entry) {
    auto slot = reader.ReadU32();
    if (!slot) return;
    auto length = reader.ReadU32();
    if (!length) return;
    auto bytes = reader.Read(*length);
    if (!bytes) return;
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    text = text.substr(0, std::min(text.find('\0'), kMaxResourceTextLength));
    Store(static_cast<std::int32_t>(*slot), text);
  }
}

void MessageTable::Store(std::int32_t slot, std::string_view text) {
  if (!text.empty()) texts_.insert_or_assign(slot, std::string(text));
}

bool MessageTable::HasText(int slot) const {
  auto found = texts_.find(slot);
  return found != texts_.end() && !found->second.empty();
}

std::u16string MessageTable::TextW(int slot) const {
  auto found = texts_.find(slot);
  if (found == texts_.end()) return {};
  std::u16string text = Utf8PrefixToUtf16(found->second);
  ReplaceLineBreakEscapes(text);
  return text;
}

std::string MessageTable::TextA(int slot) {
  auto found = texts_.find(slot);
  if (found == texts_.end()) return {};
  ReplaceLineBreakEscapes(found->second);
  return found->second;
}

}  // namespace brisk
