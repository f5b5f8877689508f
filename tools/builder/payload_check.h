// What the launcher can use of a payload, by the launcher's own rules: the
// builder refuses an input that breaks them, and `show` names the part of a
// build that does.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brisk {

enum class AddinBitness { k32, k64 };

// An add-in library as the host loads it: a DLL of one bitness, 32-bit
// (i386, PE32) or 64-bit (x86-64, PE32+). `kind` says what it is in words
// ("a 32-bit DLL", "a 64-bit program", ...); `problem` is set when it is no
// add-in for any host.
struct AddinImage {
  std::optional<AddinBitness> bitness;
  std::string kind;
  std::string problem;
};
AddinImage InspectAddin(std::span<const std::uint8_t> bytes);

// Why the add-in cannot go in the slot of hosts of `slot`'s bitness (addin32
// or addin64, payload 1025 or 1027); empty when it can.
std::string AddinSlotProblem(const AddinImage& addin, AddinBitness slot);

// The splash picture's format ("JPEG", "BMP", "GIF", "icon", "WMF", "EMF")
// when the launcher's picture loader reads it: the system's OLE picture
// loader, which reads these and nothing else. `problem` otherwise.
struct SplashPicture {
  std::string format;
  std::string problem;
};
SplashPicture InspectSplashPicture(std::span<const std::uint8_t> bytes);

// Why the launcher cannot read the message table (payload 1035, unpacked):
// a header or an entry cut short, or a text that is not UTF-8. Empty when it
// reads it whole, or when the payload is the one-byte placeholder of a build
// without a translation.
std::string MessageTableProblem(std::span<const std::uint8_t> table);

// The number of texts a message table that MessageTableProblem accepts holds.
std::size_t MessageTableTexts(std::span<const std::uint8_t> table);

}  // namespace brisk
