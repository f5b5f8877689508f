// show: what a build carries and whether the launcher can use it, first for
// a person, or with --json in the machine-readable form. Read from the file
// itself, so that it works on any machine. Exit 1 when the file is no
// application build or any part of it is damaged: a pre-ship check.
#include <cstdio>
#include <string>
#include <vector>

#include "base/utf.h"
#include "build_inspection.h"
#include "commands.h"
#include "json_writer.h"
#include "manifest.h"
#include "payload/build_settings.h"
#include "payload/payload_ids.h"
#include "settings_json.h"
#include "tool_files.h"

namespace brisk::tool {

namespace {

constexpr const char* kShowUsage = "show BUILD.exe [--json] [--show-password]";
// A build carries at most kMaxBuildPayloadBytes, packed, beside the launcher.
constexpr std::uint64_t kMaxShownBytes = 1024ull * 1024 * 1024;

// The summary is for a terminal: unpaired surrogates become '?'.
std::string Utf8(const std::u16string& text) { return Utf16ToUtf8Lossy(text); }

std::string AppVersion(std::uint32_t version) {
  return std::to_string(version >> 24) + "." + std::to_string((version >> 16) & 0xFF) + "." +
         std::to_string((version >> 8) & 0xFF);
}

std::string Hosts(const BuildInspection& build) {
  if (build.hosts32 && build.hosts64) return "32-bit and 64-bit";
  if (build.hosts32) return "32-bit only (no add-in for 64-bit hosts)";
  if (build.hosts64) return "64-bit only (no add-in for 32-bit hosts)";
  return "none";
}

std::string SignatureText(const SignatureCheck& signature) {
  switch (signature.state) {
    case SignatureState::kUnsigned:
      return "not signed";
    case SignatureState::kMatches:
      return "signed (" + signature.algorithm +
             "): its image digest matches the file; the certificate and its chain are not judged here";
    case SignatureState::kDoesNotMatch:
      return "the signature does not match the file";
    case SignatureState::kUnreadable:
      return "cannot be read: " + signature.problem;
  }
  return {};
}

const char* SignatureWord(const SignatureCheck& signature) {
  switch (signature.state) {
    case SignatureState::kUnsigned:
      return "not signed";
    case SignatureState::kMatches:
      return "signed";
    case SignatureState::kDoesNotMatch:
      return "does not match";
    case SignatureState::kUnreadable:
      return "unreadable";
  }
  return "";
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

void PrintSummary(const std::string& name, const BuildInspection& build, bool showPassword) {
  const BuildSettings& settings = build.settings;
  std::printf("%s: %s %s, %s\n", name.c_str(), Utf8(settings.appName).c_str(), AppVersion(settings.appVersion).c_str(),
              build.Damaged() ? "DAMAGED" : "good");
  const auto row = [](const char* label, const std::string& value) {
    std::printf("  %-17s %s\n", label, value.c_str());
  };
  row("hosts", Hosts(build));
  std::string password = YesNo(!settings.storedPassword.empty());
  if (!settings.storedPassword.empty()) {
    password += showPassword ? ": " + Utf8(settings.storedPassword) : " (--show-password prints it)";
  }
  row("password prompt", password);
  const auto partDetail = [&](int id) {
    for (const PartReport& part : build.parts) {
      if (part.id == id) return part.detail;
    }
    return std::string();
  };
  row("licence", build.licence ? "yes (" + partDetail(kLicenceTextResource) + ")" : "no");
  row("splash", build.splash.empty() ? "no" : "yes (" + build.splash + ")");
  row("single instance", YesNo(settings.flags & kFlagSingleInstance));
  row("external storage", YesNo(settings.flags & kFlagExternalStorage));
  row("flags", FlagsText(settings.flags));
  const std::string format = settings.workbookFormat == 0 ? "no format"
                             : settings.workbookFormat >= 0x21 && settings.workbookFormat < 0x7F
                                 ? "format " + std::string(1, static_cast<char>(settings.workbookFormat))
                                 : "format " + std::to_string(settings.workbookFormat);
  row("workbook", WorkbookExtensionOf(settings.workbookFormat) + " (" + format + ")");
  row("signature", SignatureText(build.signature));
  std::printf("  parts: id, name, stored bytes, unpacked bytes, verdict\n");
  for (const PartReport& part : build.parts) {
    const std::string unpacked = part.unpackedBytes ? std::to_string(*part.unpackedBytes) : "-";
    std::string verdict = part.problem.empty() ? "good" : "DAMAGED: " + part.problem;
    if (part.problem.empty() && !part.detail.empty()) verdict += ": " + part.detail;
    if (part.signature && part.signature->state == SignatureState::kMatches) verdict += ", signed";
    std::printf("    %4d  %-25s %10zu %10s  %s\n", part.id, part.name.c_str(), part.storedBytes, unpacked.c_str(),
                verdict.c_str());
  }
  for (const std::string& problem : build.problems) std::printf("damaged: %s\n", problem.c_str());
}

std::string VersionNumbers(const std::array<std::uint16_t, 4>& version) {
  return "\"" + std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
         std::to_string(version[3]) + "\"";
}

std::string JsonText(const std::string& utf8) { return JsonBytes(utf8); }

void PrintJson(const BuildInspection& build, bool showPassword) {
  std::vector<std::string> icon;
  for (const IconGroupEntry& entry : build.icon) {
    icon.push_back(InlineObject(
        {Member("width", std::to_string(entry.width)), Member("height", std::to_string(entry.height)),
         Member("bitCount", std::to_string(entry.bitCount)), Member("bytes", std::to_string(entry.bytes))}));
  }
  std::vector<std::string> version;
  if (build.version) {
    version.push_back(Member("fileVersion", VersionNumbers(build.version->info.fileVersion)));
    version.push_back(Member("productVersion", VersionNumbers(build.version->info.productVersion)));
    for (const auto& [name, value] : build.version->info.strings) {
      version.push_back(JsonString(name) + ": " + JsonString(value));
    }
  }
  std::vector<std::string> payload;
  for (const PartReport& part : build.parts) {
    std::vector<std::string> members = {Member("id", std::to_string(part.id)),
                                        Member("bytes", std::to_string(part.storedBytes)),
                                        Member("packed", part.packed ? "true" : "false")};
    if (part.unpackedBytes) members.push_back(Member("unpackedBytes", std::to_string(*part.unpackedBytes)));
    members.push_back(Member("part", JsonText(part.name)));
    members.push_back(Member("state", part.problem.empty() ? "\"good\"" : "\"damaged\""));
    if (!part.detail.empty()) members.push_back(Member("detail", JsonText(part.detail)));
    if (!part.problem.empty()) members.push_back(Member("problem", JsonText(part.problem)));
    if (part.signature) {
      members.push_back(Member("signed", part.signature->state == SignatureState::kMatches ? "true" : "false"));
    }
    payload.push_back(InlineObject(members));
  }
  std::vector<std::string> settings = SettingsMembers(build.settings);
  // The password stays out of logs unless it is asked for.
  if (!showPassword) settings.pop_back();
  settings.push_back(Member("password", build.settings.storedPassword.empty() ? "false" : "true"));
  std::vector<std::string> hosts;
  if (build.hosts32) hosts.push_back("\"32-bit\"");
  if (build.hosts64) hosts.push_back("\"64-bit\"");
  std::vector<std::string> problems;
  for (const std::string& problem : build.problems) problems.push_back(JsonText(problem));
  std::string hostList = "[";
  for (std::size_t i = 0; i < hosts.size(); ++i) hostList += (i ? ", " : "") + hosts[i];
  hostList += "]";

  std::printf(
      "{\n  \"verdict\": \"%s\",\n  \"problems\": [\n%s  ],\n  \"hosts\": %s,\n  \"signed\": %s,\n"
      "  \"signature\": %s,\n  \"icon\": [\n%s  ],\n  \"version\": {\n%s  },\n  \"payload\": [\n%s  ],\n"
      "  \"settings\": {\n%s  }\n}\n",
      build.Damaged() ? "damaged" : "good", MemberLines(problems, "    ").c_str(), hostList.c_str(),
      build.signature.state == SignatureState::kMatches ? "true" : "false",
      InlineObject({Member("state", JsonText(SignatureWord(build.signature))),
                    Member("digest", JsonText(build.signature.algorithm))})
          .c_str(),
      MemberLines(icon, "    ").c_str(), MemberLines(version, "    ").c_str(), MemberLines(payload, "    ").c_str(),
      MemberLines(settings, "    ").c_str());
}

}  // namespace

int RunShow(const Args& args) {
  bool json = false;
  bool showPassword = false;
  Args files;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg == "--show-password") {
      showPassword = true;
    } else if (arg.starts_with("--")) {
      return Usage(kShowUsage);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 1) return Usage(kShowUsage);
  PayloadBuffer file;
  const std::string readError = ReadLimited(files[0], kMaxShownBytes, file);
  if (!readError.empty()) return Refuse("cannot read " + files[0] + ": " + readError);
  const InspectionResult result = InspectBuild(file);
  if (!result.inspection) return Refuse(files[0] + " is no application build: " + result.error);
  const BuildInspection& build = *result.inspection;
  if (!build.notABuild.empty()) return Refuse(files[0] + " is no application build: " + build.notABuild);
  if (json) {
    PrintJson(build, showPassword);
  } else {
    PrintSummary(files[0], build, showPassword);
  }
  return build.Damaged() ? kExitRefused : kExitOk;
}

}  // namespace brisk::tool
