#include "payload_check.h"

#include <utf8.h>

#include <cstdio>
#include <string_view>

#include "payload/byte_order.h"
#include "pe_image.h"

namespace brisk {

namespace {

// The launcher takes no add-in of 10 bytes or less.
constexpr std::size_t kMinAddinBytes = 10;
// The launcher shows no picture of fewer bytes.
constexpr std::size_t kMinPictureBytes = 11;
constexpr std::size_t kMessageTableHeaderBytes = 12;

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() &&
         std::string_view(reinterpret_cast<const char*>(bytes.data()), prefix.size()) == prefix;
}

const char* BitnessWords(AddinBitness bitness) {
  return bitness == AddinBitness::k32 ? "32-bit (i386)" : "64-bit (x86-64)";
}

}  // namespace

AddinImage InspectAddin(std::span<const std::uint8_t> bytes) {
  if (bytes.size() <= kMinAddinBytes) {
    return {std::nullopt, "no DLL", "only " + std::to_string(bytes.size()) + " bytes, no DLL"};
  }
  const pe::ImageResult parsed = pe::ParseImage(bytes);
  if (!parsed.image) return {std::nullopt, "no DLL", "no DLL: " + parsed.error};
  const pe::Image& image = *parsed.image;
  std::optional<AddinBitness> bitness;
  if (image.machine == pe::kMachineI386 && image.optionalMagic == pe::kOptionalHeaderPe32) bitness = AddinBitness::k32;
  if (image.machine == pe::kMachineAmd64 && image.optionalMagic == pe::kOptionalHeaderPe32Plus) {
    bitness = AddinBitness::k64;
  }
  const bool dll = (image.characteristics & pe::kCharacteristicDll) != 0;
  if (!bitness) {
    char machine[16];
    std::snprintf(machine, sizeof machine, "0x%04X", image.machine);
    const std::string kind = std::string(dll ? "a DLL" : "a program") + " for machine " + machine;
    return {std::nullopt, kind, kind + ", which no host loads (an add-in is an i386 or x86-64 DLL)"};
  }
  const std::string kind =
      std::string(bitness == AddinBitness::k32 ? "a 32-bit" : "a 64-bit") + (dll ? " DLL" : " program");
  if (!dll) return {bitness, kind, kind + ", not a DLL"};
  return {bitness, kind, {}};
}

std::string AddinSlotProblem(const AddinImage& addin, AddinBitness slot) {
  if (!addin.problem.empty()) return addin.problem;
  if (addin.bitness == slot) return {};
  return addin.kind + "; the slot of " + BitnessWords(slot) + " hosts takes a " + BitnessWords(slot) +
         " DLL (the other slot is " + (slot == AddinBitness::k32 ? "addin64" : "addin32") + ")";
}

SplashPicture InspectSplashPicture(std::span<const std::uint8_t> bytes) {
  static constexpr std::string_view kShown =
      "the launcher shows JPEG, BMP, GIF, icon (.ico) and metafile (.wmf, .emf) pictures";
  if (bytes.empty()) return {{}, "it is empty; " + std::string(kShown)};
  const auto u16 = [&](std::size_t at) {
    return at + 2 <= bytes.size() ? le::ReadU16(bytes.data() + at) : 0xFFFFFFFFu;
  };
  const auto u32 = [&](std::size_t at) { return at + 4 <= bytes.size() ? le::ReadU32(bytes.data() + at) : 0u; };
  std::string format;
  if (StartsWith(bytes, "\xFF\xD8\xFF")) {
    format = "JPEG";
  } else if (StartsWith(bytes, "BM")) {
    format = "BMP";
  } else if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) {
    format = "GIF";
  } else if (u16(0) == 0 && u16(2) == 1 && u16(4) != 0 && u16(4) != 0xFFFFFFFFu) {
    format = "icon";
  } else if (u32(0) == 0x9AC6CDD7u ||
             ((u16(0) == 1 || u16(0) == 2) && u16(2) == 9 && (u16(4) == 0x100 || u16(4) == 0x300))) {
    format = "WMF";
  } else if (u32(0) == 1 && u32(40) == 0x464D4520u) {
    format = "EMF";
  }
  if (format.empty()) {
    std::string what = "not a picture the launcher reads";
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) what = "a PNG picture, which the launcher cannot show";
    if (StartsWith(bytes, "II*") || StartsWith(bytes, "MM\0*")) what = "a TIFF picture, which the launcher cannot show";
    if (StartsWith(bytes, "RIFF") && bytes.size() >= 12 &&
        std::string_view(reinterpret_cast<const char*>(bytes.data()) + 8, 4) == "WEBP") {
      what = "a WebP picture, which the launcher cannot show";
    }
    return {{}, what + "; " + std::string(kShown)};
  }
  if (bytes.size() < kMinPictureBytes) {
    return {format, "a " + format + " picture of only " + std::to_string(bytes.size()) +
                        " bytes, which the launcher takes for none"};
  }
  return {format, {}};
}

std::string MessageTableProblem(std::span<const std::uint8_t> table) {
  if (table.size() == 1) return {};
  if (table.size() < kMessageTableHeaderBytes) {
    return "its " + std::to_string(table.size()) + " bytes are no table (a table has a 12-byte header)";
  }
  const std::uint32_t headerSize = le::ReadU32(table.data());
  const std::uint32_t count = le::ReadU32(table.data() + 4);
  if (headerSize < kMessageTableHeaderBytes || headerSize > table.size()) {
    return "its header claims " + std::to_string(headerSize) + " bytes";
  }
  std::size_t at = headerSize;
  for (std::uint32_t entry = 0; entry < count; ++entry) {
    const std::string which = "entry " + std::to_string(entry + 1) + " of " + std::to_string(count);
    if (table.size() - at < 8) return which + " is cut short";
    const std::uint32_t slot = le::ReadU32(table.data() + at);
    const std::uint32_t length = le::ReadU32(table.data() + at + 4);
    at += 8;
    if (table.size() - at < length) return which + " is cut short";
    const auto text = table.subspan(at, length);
    if (!utf8::is_valid(text.begin(), text.end())) return "the text of slot " + std::to_string(slot) + " is not UTF-8";
    at += length;
  }
  return {};
}

std::size_t MessageTableTexts(std::span<const std::uint8_t> table) {
  return table.size() < kMessageTableHeaderBytes ? 0 : le::ReadU32(table.data() + 4);
}

}  // namespace brisk
