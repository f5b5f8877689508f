// The portable resource writer: random resource sets written into an image
// laid out as the launcher's (resources, then relocations) must read back as
// the same set, in the loader's order, with a valid checksum; a set whose
// members the loader could not tell apart is refused with one line and
// nothing changed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "payload/byte_order.h"
#include "pe_image.h"
#include "resource_section.h"
#include "test_image.h"

namespace {

using brisk::pe::ResourceName;

// Reads the input from the front; zeros once it is used up.
struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
};

// Names from a few letters in both cases, so that names the loader takes
// for one (by case) come up often.
ResourceName Name(Input& in) {
  const std::uint8_t kind = in.Byte();
  if (!(kind & 1)) return {static_cast<std::uint16_t>(kind & 2 ? in.Word() : kind >> 2), {}};
  static constexpr char16_t kUnits[] = u"aAbBzZ_\u00e9\u00c9\u044f\u042f";
  std::u16string text;
  const std::size_t length = 1 + (kind >> 1) % 4;
  for (std::size_t i = 0; i < length; ++i) text.push_back(kUnits[in.Byte() % (sizeof kUnits / 2 - 1)]);
  return {0, text};
}

bool Same(const ResourceName& a, const ResourceName& b) {
  return !brisk::pe::ResourceNameBefore(a, b) && !brisk::pe::ResourceNameBefore(b, a);
}

struct Owned {
  ResourceName type, name;
  std::uint16_t language;
  std::vector<std::uint8_t> bytes;
};

std::vector<brisk::pe::ResourceItem> Items(const std::vector<Owned>& set) {
  std::vector<brisk::pe::ResourceItem> items;
  for (const Owned& r : set) items.push_back({r.type, r.name, r.language, r.bytes});
  return items;
}

std::vector<std::uint8_t> LauncherImage() {
  brisk::test::TestImageOptions options;
  options.relocations = true;
  return brisk::test::MakeTestImage(brisk::test::LauncherResources(), options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  std::vector<Owned> set;
  while (in.size > 0 && set.size() < 64) {
    Owned r;
    r.type = Name(in);
    r.name = Name(in);
    r.language = in.Byte() & 1 ? in.Word() : 0x409;
    const std::size_t length = in.Byte() % 48;
    for (std::size_t i = 0; i < length; ++i) r.bytes.push_back(in.Byte());
    set.push_back(std::move(r));
  }
  // Sets the loader could not tell apart: one resource twice, or one type or
  // name (of one type) spelled in two cases.
  bool duplicate = false;
  for (std::size_t i = 0; i < set.size(); ++i) {
    for (std::size_t j = i + 1; j < set.size(); ++j) {
      const Owned& a = set[i];
      const Owned& b = set[j];
      const bool sameType = Same(a.type, b.type);
      duplicate = duplicate || (sameType && a.type.text != b.type.text) ||
                  (sameType && Same(a.name, b.name) && (a.name.text != b.name.text || a.language == b.language));
    }
  }

  static const std::vector<std::uint8_t> launcher = LauncherImage();
  std::vector<std::uint8_t> file = launcher;
  const std::string error = brisk::pe::ReplaceResources(file, Items(set));
  if (duplicate) {
    const bool named = error.find("two resources of type") != std::string::npos ||
                       error.find("differ only in case") != std::string::npos;
    if (!named || error.find('\n') != std::string::npos) std::abort();
    if (file != launcher) std::abort();
    return 0;
  }
  if (!error.empty()) std::abort();

  const brisk::pe::ImageResult parsed = brisk::pe::ParseImage(file);
  if (!parsed.image) std::abort();
  const brisk::pe::Image& image = *parsed.image;
  if (brisk::le::ReadU32(file.data() + image.checksumOffset) !=
      brisk::pe::ComputeChecksum(file, image.checksumOffset)) {
    std::abort();
  }
  const auto listed = brisk::pe::ListResources(file, image);
  if (!listed || listed->size() != set.size()) std::abort();
  std::vector<Owned> readBack;
  for (std::size_t i = 0; i < listed->size(); ++i) {
    const brisk::pe::ResourceEntry& entry = (*listed)[i];
    const auto bytes = brisk::pe::ResourceBytes(file, image, entry);
    if (bytes.size() != entry.size) std::abort();
    readBack.push_back({entry.type, entry.name, entry.language, {bytes.begin(), bytes.end()}});
    bool given = false;
    for (const Owned& r : set) {
      given = given || (r.type == entry.type && r.name == entry.name && r.language == entry.language &&
                        r.bytes == readBack.back().bytes);
    }
    if (!given) std::abort();
    if (i == 0) continue;
    const brisk::pe::ResourceEntry& before = (*listed)[i - 1];
    const bool ordered = brisk::pe::ResourceNameBefore(before.type, entry.type) ||
                         (Same(before.type, entry.type) && (brisk::pe::ResourceNameBefore(before.name, entry.name) ||
                                                            (Same(before.name, entry.name) && before.language < entry.language)));
    if (!ordered) std::abort();
  }
  // The set read back, written again, gives the same image.
  std::vector<std::uint8_t> again = launcher;
  if (!brisk::pe::ReplaceResources(again, Items(readBack)).empty() || again != file) std::abort();
  return 0;
}
