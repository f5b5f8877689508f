// The texts shown in the body of the notice dialog: how stored bytes are
// read (UTF-16, UTF-8 with or without byte order mark, ANSI, RTF), and the
// licence text taken from its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brisk {

class MacroTable;

using ByteSpan = std::span<const std::uint8_t>;

// True when the bytes begin with the five characters "{\rtf".
bool StartsWithRtf(ByteSpan bytes);

// The body in its stored form.
struct BodyText {
  std::string bytes;  // UTF-16LE units when isUtf16, else narrow bytes
  bool isUtf16 = false;
};

// Stores a body given as bytes. `looksUtf16` is the system's statistical
// verdict on all the bytes. UTF-16 and valid UTF-8 (a leading byte order mark
// dropped) are stored as UTF-16 with macros expanded; other narrow text keeps
// its bytes up to the first zero, macros expanded in the narrow form; RTF is
// stored unchanged and never expanded. `macros` may be null.
BodyText PrepareBodyText(ByteSpan bytes, bool looksUtf16, const MacroTable* macros);

// The UTF-16 units of a stored UTF-16 body, without a leading U+FEFF.
std::u16string BodyUnitsWithoutBom(const BodyText& body);

// Hands out the narrow text of an RTF body to the rich edit control, per
// call the smaller of (requested - 2) bytes and what is left before the
// text's first zero byte.
class RtfChunkReader {
 public:
  explicit RtfChunkReader(std::string_view text);
  std::size_t Read(std::uint8_t* buffer, std::size_t requested);

 private:
  std::string_view left_;
};

// The licence payload as UTF-16 units: the bytes as they stand when they look
// like UTF-16 or start as RTF, otherwise each byte widened to one unit. An
// odd trailing byte of UTF-16 text is half a unit and is dropped; that of RTF
// is kept as a unit of its own (RTF has no reason to be of even length). The
// text ends at its first zero unit.
std::u16string LicenceWideText(ByteSpan bytes, bool looksUtf16);

// The bytes that go into the licence dialog's body: the UTF-16 form of the
// wide text when the payload is UTF-16 or RTF; the payload's own bytes when
// it is narrow text, so that UTF-8 and the ANSI code page are read as such
// rather than one byte per character.
std::string LicenceBodyBytes(ByteSpan bytes, bool looksUtf16, std::u16string_view wideText);

}  // namespace brisk
