// pack, unpack, encode, decode, strings and settings: the payload formats.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "json_writer.h"
#include "settings_json.h"
#include "tool_files.h"
#include "payload/build_settings.h"
#include "payload/external_storage.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/encoded_text.h"
#include "payload/payload_buffer.h"

namespace brisk::tool {

namespace {

constexpr const char* kPackUsage = "pack IN OUT";
constexpr const char* kUnpackUsage = "unpack IN OUT";
constexpr const char* kEncodeUsage = "encode TEXT";
constexpr const char* kDecodeUsage = "decode ENCODED";
constexpr const char* kStringsUsage = "strings";
constexpr const char* kSettingsUsage = "settings RECORD [--storage FILE]";

}  // namespace

int RunPack(const Args& args) {
  if (args.size() != 2) return Usage(kPackUsage);
  PayloadBuffer input;
  if (!ReadWholeFile(args[0], input)) return Refuse("cannot read " + args[0]);
  PayloadBuffer container;
  if (!PackContainer(input.data(), input.size(), container)) return Refuse("cannot pack " + args[0]);
  if (!WriteWholeFile(args[1], container)) return Refuse("cannot write " + args[1]);
  return kExitOk;
}

int RunUnpack(const Args& args) {
  if (args.size() != 2) return Usage(kUnpackUsage);
  PayloadBuffer input;
  if (!ReadWholeFile(args[0], input)) return Refuse("cannot read " + args[0]);
  PayloadBuffer unpacked;
  if (!UnpackContainer(input.data(), input.size(), unpacked)) return Refuse(args[0] + " is not a valid container");
  if (!WriteWholeFile(args[1], unpacked)) return Refuse("cannot write " + args[1]);
  return kExitOk;
}

int RunEncode(const Args& args) {
  if (args.size() != 1) return Usage(kEncodeUsage);
  std::printf("%s\n", EncodeText(args[0]).c_str());
  return kExitOk;
}

int RunDecode(const Args& args) {
  if (args.size() != 1) return Usage(kDecodeUsage);
  std::string hex;
  for (unsigned char byte : DecodeText(args[0])) {
    constexpr char kDigits[] = "0123456789abcdef";
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  std::printf("%s\n", hex.c_str());
  return kExitOk;
}

int RunStrings(const Args& args) {
  if (!args.empty()) return Usage(kStringsUsage);
  std::vector<std::string> members;
  for (int number = 0; number < kEncodedStringCount; ++number) {
    members.push_back(Member(std::to_string(number), JsonString(GetEncodedStringW(number))));
  }
  PrintObject(members);
  return kExitOk;
}

int RunSettings(const Args& args) {
  std::vector<std::string> records;
  std::string storage;
  bool withStorage = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--storage") {
      if (withStorage || i + 1 == args.size()) return Usage(kSettingsUsage);
      withStorage = true;
      storage = args[++i];
    } else if (args[i].starts_with("--")) {
      return Usage(kSettingsUsage);
    } else {
      records.push_back(args[i]);
    }
  }
  if (records.size() != 1) return Usage(kSettingsUsage);

  PayloadBuffer rawRecord;
  if (!ReadWholeFile(records.front(), rawRecord)) return Refuse("cannot read " + records.front());
  BuildSettings settings = ParseBuildSettings(rawRecord);
  std::vector<std::string> members = SettingsMembers(settings);

  if (withStorage) {
    // As at start-up: the file is looked at only in external storage mode.
    PayloadBuffer workbook;
    const bool accepted = (settings.flags & kFlagExternalStorage) != 0 &&
                          LoadExternalStorage(PathArgument(storage).u16string(), settings, rawRecord, workbook);
    members = SettingsMembers(settings);
    // The launcher is a 32-bit process: it reads no storage file above its
    // limit, and neither does this tool, whatever it could hold itself.
    std::error_code error;
    const std::uintmax_t storageBytes = std::filesystem::file_size(PathArgument(storage), error);
    members.push_back(Member("storageAccepted", accepted ? "true" : "false"));
    members.push_back(Member("storageBytes", std::to_string(error ? 0 : storageBytes)));
    members.push_back(Member("storageLimitBytes", std::to_string(kMaxStorageFileBytes)));
    members.push_back(Member("workbookBytes", std::to_string(workbook.size())));
  }
  PrintObject(members);
  return kExitOk;
}

}  // namespace brisk::tool
