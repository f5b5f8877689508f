// Decoding of encoded texts, and encoding round trips.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "payload/encoded_strings.h"
#include "payload/encoded_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  // As an encoded text: three bytes per four symbols up to the first zero
  // character, and one byte for a last group of one or two symbols.
  const std::size_t symbols = std::string_view(input).substr(0, input.find('\0')).size();
  constexpr std::size_t kTailBytes[] = {0, 1, 1, 2};
  const std::string decoded = brisk::DecodeText(input);
  if (decoded.size() != symbols / 4 * 3 + kTailBytes[symbols % 4]) std::abort();
  const std::string narrow = brisk::DecodeStringA(input);
  if (decoded.compare(0, narrow.size(), narrow) != 0 || narrow.find('\0') != std::string::npos) std::abort();
  try {
    if (brisk::DecodeStringW(input).size() > narrow.size()) std::abort();
  } catch (const std::exception&) {
    // Not UTF-8: the wide lookup reports it by throwing.
  }

  // As bytes: encoding is undone by decoding, and uses the alphabet only.
  const std::string encoded = brisk::EncodeText(input);
  if (encoded.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ[abcdefghijklmnopqrstuvwxyz{") !=
      std::string::npos) {
    std::abort();
  }
  if (brisk::DecodeText(encoded) != input) std::abort();
  return 0;
}
