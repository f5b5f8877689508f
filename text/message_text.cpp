#include "payload/encoded_strings.h"
#include "text/message_table.h"

namespace brisk {

namespace {

template <typename Text>
void ApplyBlankMarker(Text& text) {
  if (text.size() == 2 && text[0] == '\\' && text[1] == 'r') text.clear();
}

}  // namespace

std::u16string GetMessageTextW(const MessageTable* table, const MacroTable* macros, int slot, int defaultNumber) {
  std::u16string text;
  if (table != nullptr && table->HasText(slot)) text = table->TextW(slot);
  // Built-in defaults are used as they stand: no line-break escapes.
  if (text.empty()) text = GetEncodedStringW(defaultNumber);
  if (macros != nullptr) text = macros->ExpandW(text);
  ApplyBlankMarker(text);
  return text;
}

std::string GetMessageTextA(MessageTable* table, const MacroTable* macros, int slot, int defaultNumber) {
  std::string text;
  if (table != nullptr && table->HasText(slot)) text = table->TextA(slot);
  if (text.empty()) text = GetEncodedStringA(defaultNumber);
  if (macros != nullptr) text = macros->ExpandUtf8(text);
  ApplyBlankMarker(text);
  return text;
}

std::u16string GetMessageTextW(const UserTexts& texts, int slot, int defaultNumber) {
  return GetMessageTextW(texts.messages, texts.macros, slot, defaultNumber);
}

std::string GetMessageTextA(const UserTexts& texts, int slot, int defaultNumber) {
  return GetMessageTextA(texts.messages, texts.macros, slot, defaultNumber);
}

}  // namespace brisk
