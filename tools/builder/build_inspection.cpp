#include "build_inspection.h"

#include <algorithm>

#include "core/workbook_name.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "payload_check.h"
#include "pe_image.h"
#include "text/licence_limits.h"

namespace brisk {

namespace {

constexpr std::size_t kMinLicenceBytes = 3;

std::string PartName(int id) {
  switch (id) {
    case kAuxWorkbookResource:
      return "auxiliary workbook";
    case kMainWorkbookResource:
      return "main workbook";
    case kAddin32Resource:
      return "add-in for 32-bit hosts";
    case kAddin64Resource:
      return "add-in for 64-bit hosts";
    case kMessageTableResource:
      return "message table";
    case kSplashPictureResource:
      return "splash picture";
    case kBuildSettingsResource:
      return "settings record";
    case kLicenceTextResource:
      return "licence";
    case kAddinTextTable1043Resource:
    case kAddinTextTable1045Resource:
    case kCarried1060Resource:
    case kCarried1070Resource:
    case kCarried1107Resource:
    case kAddinEncipheredDataResource:
      return "carried for the add-in";
  }
  return "not read by the launcher";
}

// The unpacked bytes of a part read by the strict rule; the problem when
// the launcher takes the build for damaged.
std::string Unpack(PartReport& part, std::span<const std::uint8_t> stored, PayloadBuffer& unpacked,
                   std::size_t maxBytes = static_cast<std::size_t>(-1)) {
  switch (UnpackPayload(stored, unpacked, maxBytes)) {
    case PayloadState::kReady:
      part.packed = IsContainerHeader(stored.data(), stored.size());
      if (part.packed) part.unpackedBytes = unpacked.size();
      return {};
    case PayloadState::kMissing:
      return "it is empty";
    case PayloadState::kDamaged:
      return IsContainerHeader(stored.data(), stored.size()) &&
                     DeclaredUnpackedSize(stored.data(), stored.size()) > maxBytes
                 ? "its container declares more than the launcher takes"
                 : "its container does not unpack";
    case PayloadState::kOutOfMemory:
      return "not enough memory to unpack it here";
  }
  return {};
}

void JudgeSettings(PartReport& part, std::span<const std::uint8_t> stored, BuildSettings& settings) {
  // The launcher reads the record leniently: a container that does not
  // unpack is parsed as the bytes it is, and fails the magic.
  PayloadBuffer record(stored.begin(), stored.end());
  part.packed = IsContainerHeader(stored.data(), stored.size());
  if (part.packed && !UnpackContainer(stored.data(), stored.size(), record)) {
    part.packed = false;
    part.problem = "its container does not unpack";
    return;
  }
  if (part.packed) part.unpackedBytes = record.size();
  settings = ParseBuildSettings(record);
  if (settings.magic != kSettingsMagic) {
    part.problem = "its validity magic is wrong: the launcher refuses to start (\"" +
                   GetEncodedStringA(kSettingsMagicWrong) + "\")";
    return;
  }
  part.detail = "header of " + std::to_string(settings.headerSize) + " bytes, validity magic right";
}

void JudgeAddin(PartReport& part, std::span<const std::uint8_t> stored, bool& hosts) {
  PayloadBuffer addin;
  part.problem = Unpack(part, stored, addin);
  if (!part.problem.empty()) return;
  const AddinImage image = InspectAddin(addin);
  part.detail = image.kind;
  part.problem = AddinSlotProblem(image, part.id == kAddin32Resource ? AddinBitness::k32 : AddinBitness::k64);
  part.signature = CheckSignature(addin);
  if (part.problem.empty() && part.signature->state == SignatureState::kDoesNotMatch) {
    part.problem = "its signature does not match it (changed after it was signed)";
  }
  if (part.problem.empty() && part.signature->state == SignatureState::kUnreadable) {
    part.problem = "its signature cannot be read: " + part.signature->problem;
  }
  hosts = part.problem.empty();
}

void JudgeMessageTable(PartReport& part, std::span<const std::uint8_t> stored) {
  // Read leniently too: a container that does not unpack would be read as
  // a table of its packed bytes.
  PayloadBuffer table(stored.begin(), stored.end());
  part.packed = IsContainerHeader(stored.data(), stored.size());
  if (part.packed && !UnpackContainer(stored.data(), stored.size(), table)) {
    part.packed = false;
    part.problem = "its container does not unpack";
    return;
  }
  if (part.packed) part.unpackedBytes = table.size();
  part.problem = MessageTableProblem(table);
  if (!part.problem.empty()) return;
  part.detail =
      table.size() == 1 ? "none: the built-in texts" : std::to_string(MessageTableTexts(table)) + " translated texts";
}

void JudgeLicence(PartReport& part, std::span<const std::uint8_t> stored, bool& licence) {
  PayloadBuffer text;
  part.problem = Unpack(part, stored, text, kMaxLicenceBytes);
  if (!part.problem.empty()) return;
  if (text.size() < kMinLicenceBytes) {
    part.detail = "none";
    return;
  }
  switch (CheckLicenceText(text)) {
    case LicenceTextCheck::kAccepted:
      break;
    case LicenceTextCheck::kTooLarge:
      part.problem = "larger than the licence dialog shows";
      return;
    case LicenceTextCheck::kNestedTooDeeply:
      part.problem = "its RTF nests deeper than the licence dialog shows";
      return;
  }
  const std::string_view start(reinterpret_cast<const char*>(text.data()), std::min<std::size_t>(text.size(), 5));
  part.detail = start == "{\\rtf" ? "RTF text" : "text";
  licence = true;
}

void JudgeSplash(PartReport& part, std::span<const std::uint8_t> stored, std::string& format) {
  PayloadBuffer picture(stored.begin(), stored.end());
  // The splash thread unpacks a container itself; anything else is the
  // picture as it is.
  if (IsContainerHeader(stored.data(), stored.size())) {
    if (!UnpackContainer(stored.data(), stored.size(), picture)) {
      part.problem = "its container does not unpack";
      return;
    }
    part.packed = true;
    part.unpackedBytes = picture.size();
  }
  const SplashPicture inspected = InspectSplashPicture(picture);
  part.problem = inspected.problem;
  if (!part.problem.empty()) return;
  part.detail = inspected.format + " picture";
  format = inspected.format;
}

void JudgeWorkbook(PartReport& part, std::span<const std::uint8_t> stored) {
  PayloadBuffer workbook;
  part.problem = Unpack(part, stored, workbook);
  if (!part.problem.empty()) return;
  if (!HasWorkbookMarker(workbook)) {
    part.problem = "it lacks its marker: the launcher would hand over an empty workbook";
    return;
  }
  part.detail = std::to_string(workbook.size() - 4) + " bytes of workbook";
}

}  // namespace

InspectionResult InspectBuild(std::span<const std::uint8_t> file) {
  const pe::ImageResult image = pe::ParseImage(file);
  if (!image.image) return {std::nullopt, image.error};
  BuildInspection inspection;
  const auto resources = pe::ListResources(file, *image.image);
  if (!resources) {
    inspection.notABuild = "its resource directory is damaged";
    return {std::move(inspection), {}};
  }
  const std::u16string payloadType = GetEncodedStringW(kPayloadResourceType);
  const auto bytesOf = [&](const pe::ResourceEntry& entry) { return pe::ResourceBytes(file, *image.image, entry); };
  std::vector<const pe::ResourceEntry*> payload;
  for (const pe::ResourceEntry& entry : *resources) {
    if (entry.type.text == payloadType && entry.name.text.empty()) payload.push_back(&entry);
    if (entry.type == pe::ResourceName{pe::kTypeGroupIcon, {}} && inspection.icon.empty()) {
      if (auto group = ParseIconGroup(bytesOf(entry))) inspection.icon = std::move(*group);
    }
    if (entry.type == pe::ResourceName{pe::kTypeVersion, {}} && !inspection.version) {
      inspection.version = ParseVersionResource(bytesOf(entry));
    }
  }
  std::sort(payload.begin(), payload.end(),
            [](const pe::ResourceEntry* a, const pe::ResourceEntry* b) { return a->name.id < b->name.id; });
  const bool hasSettings = std::any_of(payload.begin(), payload.end(), [](const pe::ResourceEntry* entry) {
    return entry->name.id == kBuildSettingsResource;
  });
  if (!hasSettings) {
    const bool launcher = std::any_of(resources->begin(), resources->end(), [](const pe::ResourceEntry& entry) {
      return entry.type == pe::ResourceName{pe::kTypeDialog, {}} && entry.name.text.empty() && entry.name.id == 113;
    });
    inspection.notABuild = launcher && payload.empty() ? "it is the bare launcher, with no application in it"
                           : payload.empty()           ? "it carries no payload: it is no build of this launcher"
                                                       : "it carries no build settings";
    return {std::move(inspection), {}};
  }

  for (const pe::ResourceEntry* entry : payload) {
    PartReport part;
    part.id = entry->name.id;
    part.name = PartName(part.id);
    const std::span<const std::uint8_t> stored = bytesOf(*entry);
    part.storedBytes = stored.size();
    if (stored.size() != entry->size) {
      part.problem = "it lies outside the file";
    } else if (part.id == kBuildSettingsResource) {
      JudgeSettings(part, stored, inspection.settings);
    } else if (part.id == kMainWorkbookResource) {
      JudgeWorkbook(part, stored);
    } else if (part.id == kAuxWorkbookResource) {
      PayloadBuffer aux;
      part.problem = Unpack(part, stored, aux);
      if (part.problem.empty()) part.detail = std::to_string(aux.size()) + " bytes of workbook";
    } else if (part.id == kAddin32Resource) {
      JudgeAddin(part, stored, inspection.hosts32);
    } else if (part.id == kAddin64Resource) {
      JudgeAddin(part, stored, inspection.hosts64);
    } else if (part.id == kMessageTableResource) {
      JudgeMessageTable(part, stored);
    } else if (part.id == kLicenceTextResource) {
      JudgeLicence(part, stored, inspection.licence);
    } else if (part.id == kSplashPictureResource) {
      JudgeSplash(part, stored, inspection.splash);
    } else {
      part.packed = IsContainerHeader(stored.data(), stored.size());
      if (part.packed) part.unpackedBytes = DeclaredUnpackedSize(stored.data(), stored.size());
    }
    if (!part.problem.empty()) {
      inspection.problems.push_back("the " + part.name + " (" + std::to_string(part.id) +
                                    ") is damaged: " + part.problem);
    }
    inspection.parts.push_back(std::move(part));
  }
  for (const int required : {kMainWorkbookResource, kAuxWorkbookResource}) {
    if (std::none_of(inspection.parts.begin(), inspection.parts.end(),
                     [&](const PartReport& part) { return part.id == required; })) {
      inspection.problems.push_back("the " + PartName(required) + " (" + std::to_string(required) + ") is missing");
    }
  }
  const bool anyAddin = std::any_of(inspection.parts.begin(), inspection.parts.end(), [](const PartReport& part) {
    return part.id == kAddin32Resource || part.id == kAddin64Resource;
  });
  if (!anyAddin) inspection.problems.push_back("the build carries no add-in: it starts with no host");

  inspection.signature = CheckSignature(file);
  if (inspection.signature.state == SignatureState::kDoesNotMatch) {
    inspection.problems.push_back("the signature does not match the file: it changed after it was signed");
  } else if (inspection.signature.state == SignatureState::kUnreadable) {
    inspection.problems.push_back("the signature cannot be read: " + inspection.signature.problem);
  }
  return {std::move(inspection), {}};
}

}  // namespace brisk
