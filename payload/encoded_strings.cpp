#include "payload/encoded_strings.h"

#include "base/utf.h"
#include "payload/encoded_text.h"

namespace brisk {

namespace {

// kEncodedForms: generated at build time from encoded_strings.txt.
#include "encoded_strings_table.inc"

static_assert(std::size(kEncodedForms) == kEncodedStringCount,
              "encoded_strings.txt must hold exactly the numbers 0 to kEncodedStringCount - 1");

}  // namespace

std::string_view GetEncodedForm(int number) {
  if (number < 0 || number >= kEncodedStringCount) return {};
  return kEncodedForms[number];
}

std::string DecodeStringA(std::string_view encoded) {
  std::string bytes = DecodeText(encoded);
  if (const auto zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
  return bytes;
}

std::u16string DecodeStringW(std::string_view encoded) { return Utf8ToUtf16(DecodeStringA(encoded)); }

std::string GetEncodedStringA(int number) { return DecodeStringA(GetEncodedForm(number)); }

std::u16string GetEncodedStringW(int number) { return DecodeStringW(GetEncodedForm(number)); }

}  // namespace brisk
