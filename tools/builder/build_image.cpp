#include "build_image.h"

#include <algorithm>
#include <charconv>

#include "payload/byte_order.h"
#include "version_resource.h"

namespace brisk {

namespace {

// The launcher's own resources (ui/ui_resource_ids.h): its empty dialog
// frame and the six notice symbols of type "PNG".
constexpr std::uint16_t kLauncherDialog = 113;
constexpr std::uint16_t kFirstSymbol = 141;
constexpr std::uint16_t kLastSymbol = 146;

LauncherCheck NotALauncher(const std::string& why) {
  return {std::nullopt, {}, "not a launcher of this project: " + why};
}

bool Has(const std::vector<pe::ResourceEntry>& resources, const pe::ResourceName& type,
         std::optional<std::uint16_t> id = std::nullopt) {
  return std::any_of(resources.begin(), resources.end(), [&](const pe::ResourceEntry& entry) {
    return entry.type == type && (!id || (entry.name.text.empty() && entry.name.id == *id));
  });
}

// FNV-1a, 32 bits.
std::uint32_t Hash(std::span<const std::uint8_t> bytes) {
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 16777619u;
  return hash;
}

}  // namespace

LauncherCheck CheckLauncherImage(std::vector<std::uint8_t>& file) {
  pe::ImageResult parsed = pe::ParseImage(file);
  if (!parsed.image) return NotALauncher(parsed.error);
  const pe::Image& image = *parsed.image;
  // The launcher that ships is the i386 one. Its x86-64 twin, built from the
  // same sources to test the launch where no 32-bit program runs, is taken
  // too; a header whose machine and format disagree is neither.
  const bool i386 = image.machine == pe::kMachineI386 && image.optionalMagic == pe::kOptionalHeaderPe32;
  const bool amd64 = image.machine == pe::kMachineAmd64 && image.optionalMagic == pe::kOptionalHeaderPe32Plus;
  if (!i386 && !amd64) return NotALauncher("not an i386 (PE32) or x86-64 (PE32+) executable");
  if (!(image.characteristics & pe::kCharacteristicExecutable) || (image.characteristics & pe::kCharacteristicDll) ||
      image.subsystem != pe::kSubsystemWindowsGui) {
    return NotALauncher("not a Windows GUI program");
  }
  // The checksum covers every byte: a launcher damaged after it was linked
  // (or after an earlier build was made and signed) no longer matches it.
  // Taken before an earlier build's signature is removed.
  const std::uint32_t storedChecksum = le::ReadU32(file.data() + image.checksumOffset);
  const bool checksumMatches = storedChecksum == pe::ComputeChecksum(file, image.checksumOffset);
  if (pe::HasCertificateTable(file, image)) {
    if (!pe::RemoveCertificateTable(file, image)) return NotALauncher("its certificate table is not at its end");
    parsed = pe::ParseImage(file);
    if (!parsed.image) return NotALauncher(parsed.error);
  }
  if (parsed.image->symbolTable != 0) return NotALauncher("it carries a symbol table (the launcher is linked with -s)");
  if (file.size() > parsed.image->imageEnd) return NotALauncher("data is appended after its image");
  if (!checksumMatches) {
    return NotALauncher(storedChecksum == 0 ? "it carries no checksum (the launcher's is written when it is linked)"
                                            : "its checksum does not match its bytes: it is damaged");
  }
  std::optional<std::vector<pe::ResourceEntry>> resources = pe::ListResources(file, *parsed.image);
  if (!resources) return NotALauncher("its resource directory is damaged");
  for (const pe::ResourceEntry& entry : *resources) {
    if (pe::ResourceBytes(file, *parsed.image, entry).size() != entry.size) {
      return NotALauncher("a resource lies outside the file");
    }
  }
  bool symbols = true;
  for (std::uint16_t id = kFirstSymbol; id <= kLastSymbol; ++id) symbols = symbols && Has(*resources, {0, u"PNG"}, id);
  if (!Has(*resources, {pe::kTypeDialog, {}}, kLauncherDialog) || !symbols ||
      !Has(*resources, {pe::kTypeGroupIcon, {}}) || !Has(*resources, {pe::kTypeVersion, {}})) {
    return NotALauncher("it lacks the launcher's own resources (dialog, notice symbols, icon, version)");
  }
  for (const pe::ResourceEntry& entry : *resources) {
    if (entry.type == pe::ResourceName{pe::kTypeVersion, {}} &&
        !ParseVersionResource(pe::ResourceBytes(file, *parsed.image, entry))) {
      return NotALauncher("its version resource is damaged");
    }
  }
  return {std::move(parsed.image), std::move(*resources), {}};
}

TimeStampChoice ChooseTimeStamp(const std::optional<std::string>& sourceDateEpoch) {
  if (!sourceDateEpoch || sourceDateEpoch->empty()) return {};
  const std::string& text = *sourceDateEpoch;
  std::uint64_t seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds, 10);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || seconds > 0xFFFFFFFFu) {
    return {std::nullopt, "SOURCE_DATE_EPOCH '" + text + "' is not a number of seconds from 0 to 4294967295"};
  }
  return {static_cast<std::uint32_t>(seconds), {}};
}

bool FinishBuildImage(std::vector<std::uint8_t>& file, std::optional<std::uint32_t> stamp) {
  const pe::ImageResult parsed = pe::ParseImage(file);
  if (!parsed.image) return false;
  const pe::Image& image = *parsed.image;
  if (!stamp) {
    if (!pe::SetTimeStamps(file, image, 0)) return false;
    le::WriteU32(file.data() + image.checksumOffset, 0);
    stamp = Hash(file);
  }
  if (!pe::SetTimeStamps(file, image, *stamp)) return false;
  pe::WriteChecksum(file, image);
  return true;
}

bool UpdateChecksum(std::vector<std::uint8_t>& file) {
  const pe::ImageResult parsed = pe::ParseImage(file);
  if (!parsed.image) return false;
  pe::WriteChecksum(file, *parsed.image);
  return true;
}

}  // namespace brisk
