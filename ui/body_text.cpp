#include "ui/body_text.h"

#include <utf8.h>

#include <algorithm>

#include "text/macro_table.h"

namespace brisk {

namespace {

std::u16string UnitsFromBytes(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                     (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

std::string BytesFromUnits(std::u16string_view units) {
  std::string bytes(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return bytes;
}

std::string_view AsChars(ByteSpan bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

std::string_view UpToFirstZero(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

bool StartsWithRtf(ByteSpan bytes) { return AsChars(bytes).starts_with("{\\rtf"); }

BodyText PrepareBodyText(ByteSpan bytes, bool looksUtf16, const MacroTable* macros) {
  BodyText body;
  const std::string_view text = AsChars(bytes);
  if (looksUtf16) {
    body.isUtf16 = true;
    body.bytes = macros ? BytesFromUnits(macros->ExpandW(UnitsFromBytes(text))) : std::string(text);
    return body;
  }
  if (StartsWithRtf(bytes)) {
    body.bytes = std::string(text);
    return body;
  }
  std::string_view narrow = UpToFirstZero(text);
  if (utf8::is_valid(narrow.begin(), narrow.end())) {
    if (narrow.starts_with("\xEF\xBB\xBF")) narrow.remove_prefix(3);
    std::u16string wide = utf8::utf8to16(narrow);
    if (macros) wide = macros->ExpandW(wide);
    body.bytes = BytesFromUnits(wide);
    body.isUtf16 = true;
    return body;
  }
  body.bytes = macros ? macros->ExpandA(narrow) : std::string(narrow);
  return body;
}

std::u16string BodyUnitsWithoutBom(const BodyText& body) {
  std::u16string units = UnitsFromBytes(body.bytes);
  if (!units.empty() && units.front() == u'\xFEFF') units.erase(0, 1);
  return units;
}

RtfChunkReader::RtfChunkReader(std::string_view text) : left_(UpToFirstZero(text)) {}

std::size_t RtfChunkReader::Read(std::uint8_t* buffer, std::size_t requested) {
  const std::size_t room = requested > 2 ? requested - 2 : 0;
  const std::size_t count = std::min(room, left_.size());
  std::copy_n(left_.begin(), count, buffer);
  left_.remove_prefix(count);
  return count;
}

std::u16string LicenceWideText(ByteSpan bytes, bool looksUtf16) {
  std::u16string wide;
  if (!looksUtf16 && !StartsWithRtf(bytes)) {
    wide.assign(bytes.begin(), bytes.end());
  } else {
    const std::string_view text = AsChars(bytes);
    wide = UnitsFromBytes(text);
    if (!looksUtf16 && text.size() % 2 != 0) wide.push_back(static_cast<std::uint8_t>(text.back()));
  }
  return wide.substr(0, wide.find(u'\0'));
}

std::string LicenceBodyBytes(ByteSpan bytes, bool looksUtf16, std::u16string_view wideText) {
  if (!looksUtf16 && !StartsWithRtf(bytes)) return std::string(UpToFirstZero(AsChars(bytes)));
  return BytesFromUnits(wideText);
}

}  // namespace brisk
