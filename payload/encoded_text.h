// The 6-bit text encoding that keeps built-in texts and some settings-record
// parts out of plain sight.
//
// Alphabet of 64 symbols: '0'..'9' (values 0..9), 'A'..'[' (10..36) and
// 'a'..'{' (37..63). Four symbols carry three bytes, least significant bits
// first.
#pragma once

#include <string>
#include <string_view>

namespace brisk {

// Decodes an encoded text. The stored form is zero-terminated, so decoding
// stops at the first zero character. A character outside the alphabet counts
// as 0. An incomplete last group of two or three symbols yields one or two
// bytes; a lone last symbol yields one byte holding its value.
std::string DecodeText(std::string_view encoded);

// The inverse: three bytes to four symbols; a last group of one or two bytes
// gives two or three symbols.
std::string EncodeText(std::string_view bytes);

}  // namespace brisk
