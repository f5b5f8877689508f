// launcher-tool's payload commands, run as the user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "command_runner.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/encoded_text.h"
#include "payload/external_storage.h"
#include "payload_fixtures.h"

namespace brisk {
namespace {

using test::AsString;
using test::CommandResult;
using test::CurrentRecord;
using test::ReadAll;
using test::StorageFile;
using test::TempDir;

class PayloadTool : public ::testing::Test {
 protected:
  CommandResult Run(const std::vector<std::string>& args) {
    return test::RunCommand(BRISK_LAUNCHER_TOOL, args, dir_.Path());
  }

  std::string File(const std::string& name, const PayloadBuffer& bytes) { return dir_.Write(name, bytes).string(); }
  std::string PathOf(const std::string& name) { return (dir_.Path() / name).string(); }

  static void ExpectRefused(const CommandResult& result) {
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(result.err.rfind("launcher-tool: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }

  static void ExpectUsage(const CommandResult& result, const std::string& usage) {
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(result.err, "usage: launcher-tool " + usage + "\n");
  }

  TempDir dir_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(PayloadTool, PackWritesAContainerThatUnpackGivesBack) {
  const PayloadBuffer input = {'w', 'o', 'r', 'k', 0, 1, 2, 0xFF, 'w', 'o', 'r', 'k'};
  const std::string in = File("in.bin", input);
  CommandResult packed = Run({"pack", in, PathOf("packed.bin")});
  ASSERT_EQ(packed.exitCode, 0) << packed.err;
  EXPECT_TRUE(packed.out.empty());
  const std::string container = ReadAll(PathOf("packed.bin"));
  ASSERT_GT(container.size(), 26u);
  EXPECT_EQ(container.substr(0, 8), std::string("QZH\0\x18\0\0\0", 8));
  EXPECT_EQ(container.substr(24, 2), "\x78\x9C");

  CommandResult unpacked = Run({"unpack", PathOf("packed.bin"), PathOf("out.bin")});
  ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
  EXPECT_EQ(ReadAll(PathOf("out.bin")), AsString(input));
}

TEST_F(PayloadTool, PackOfAnEmptyFileGivesAHeaderThatUnpackRefuses) {
  ASSERT_EQ(Run({"pack", File("empty.bin", {}), PathOf("packed.bin")}).exitCode, 0);
  ExpectRefused(Run({"unpack", PathOf("packed.bin"), PathOf("out.bin")}));
}

TEST_F(PayloadTool, UnpackRefusesWhatIsNoValidContainer) {
  ExpectRefused(Run({"unpack", File("raw.bin", {'1'}), PathOf("out.bin")}));
  EXPECT_FALSE(std::filesystem::exists(PathOf("out.bin")));

  PayloadBuffer broken;
  const PayloadBuffer content(100, 'x');
  ASSERT_TRUE(PackContainer(content.data(), content.size(), broken));
  broken.back() ^= 0x55;
  ExpectRefused(Run({"unpack", File("broken.bin", broken), PathOf("out.bin")}));
  EXPECT_FALSE(std::filesystem::exists(PathOf("out.bin")));
}

TEST_F(PayloadTool, UnreadableInputIsRefused) {
  ExpectRefused(Run({"pack", PathOf("missing.bin"), PathOf("out.bin")}));
  ExpectRefused(Run({"unpack", PathOf("missing.bin"), PathOf("out.bin")}));
  ExpectRefused(Run({"pack", dir_.Path().string(), PathOf("out.bin")}));
  ExpectRefused(Run({"settings", PathOf("missing.bin")}));
}

TEST_F(PayloadTool, WrongArgumentsAreUsageErrors) {
  ExpectUsage(Run({"pack", "one"}), "pack IN OUT");
  ExpectUsage(Run({"unpack", "a", "b", "c"}), "unpack IN OUT");
  ExpectUsage(Run({"encode"}), "encode TEXT");
  ExpectUsage(Run({"decode", "a", "b"}), "decode ENCODED");
  ExpectUsage(Run({"strings", "extra"}), "strings");
  ExpectUsage(Run({"settings"}), "settings RECORD [--storage FILE]");
  ExpectUsage(Run({"settings", "a", "b"}), "settings RECORD [--storage FILE]");
  ExpectUsage(Run({"settings", "a", "--storage"}), "settings RECORD [--storage FILE]");
  ExpectUsage(Run({"settings", "a", "--other"}), "settings RECORD [--storage FILE]");
}

TEST_F(PayloadTool, EncodePrintsTheEncodedFormOfTheUtf8Bytes) {
  EXPECT_EQ(Run({"encode", "abc"}).out, "X9rO\n");
  EXPECT_EQ(Run({"encode", "a"}).out, "X1\n");
  EXPECT_EQ(Run({"encode", ""}).out, "\n");
  EXPECT_EQ(Run({"encode", "\xC3\xA4"}).out, EncodeText("\xC3\xA4") + "\n");
}

TEST_F(PayloadTool, DecodePrintsLowerCaseHex) {
  const CommandResult result = Run({"decode", "X9rO{"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "6162633f\n");
  EXPECT_EQ(Run({"decode", "{{{{"}).out, "ffffff\n");
  EXPECT_EQ(Run({"decode", ""}).out, "\n");
}

TEST_F(PayloadTool, StringsPrintsEveryNumberInOrder) {
  const CommandResult result = Run({"strings"});
  ASSERT_EQ(result.exitCode, 0);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kEncodedStringCount) + 2);
  EXPECT_EQ(lines.front(), "{");
  EXPECT_EQ(lines.back(), "}");
  for (int number = 0; number < kEncodedStringCount; ++number) {
    EXPECT_EQ(lines[number + 1].rfind("  \"" + std::to_string(number) + "\": \"", 0), 0u) << lines[number + 1];
  }
  EXPECT_EQ(lines[45], "  \"44\": \"Excel.Application\",");
  EXPECT_EQ(lines[55], "  \"54\": \"Local\\u005CBriskClose_%u\",");
  EXPECT_EQ(lines[62], "  \"61\": \"\",");
  // The last has no comma after it; the tool writes a backslash as \u005C.
  std::string last = GetEncodedStringA(kEncodedStringCount - 1);
  for (std::size_t at = 0; (at = last.find('\\', at)) != std::string::npos; at += 6) last.replace(at, 1, "\\u005C");
  EXPECT_EQ(lines[kEncodedStringCount], "  \"" + std::to_string(kEncodedStringCount - 1) + "\": \"" + last + "\"");
}

class PayloadToolSettings : public PayloadTool {
 protected:
  std::string Value(const std::string& json, const std::string& key) {
    for (const std::string& line : Lines(json)) {
      const std::string prefix = "  \"" + key + "\": ";
      if (line.rfind(prefix, 0) == 0) {
        std::string value = line.substr(prefix.size());
        if (!value.empty() && value.back() == ',') value.pop_back();
        return value;
      }
    }
    return "<absent>";
  }
};

TEST_F(PayloadToolSettings, PrintsEveryStoredFieldInOrder) {
  CurrentRecord fixture;
  fixture.appName = u"B\u00E4r \"x\"";
  fixture.flags = kFlagSingleInstance;
  fixture.partG.clear();
  PayloadBuffer record = fixture.Build();
  test::PutLe(record, settings_layout::kAtPartG, 0xFFFE, 2);
  const CommandResult result = Run({"settings", File("record.bin", record)});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  const std::vector<std::string> keys = {
      "headerSize", "appVersion",     "flags",          "appNameBytes", "appInfoBytes", "partCBytes",
      "partDBytes", "partEBytes",     "partFBytes",     "magic",        "partGBytes",   "passwordBytes",
      "partIBytes", "workbookFormat", "builderVersion", "appName",      "appInfo",      "storedPassword"};
  ASSERT_EQ(lines.size(), keys.size() + 2);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(lines[i + 1].rfind("  \"" + keys[i] + "\": ", 0), 0u) << lines[i + 1];
  }
  EXPECT_EQ(Value(result.out, "headerSize"), "104");
  EXPECT_EQ(Value(result.out, "appVersion"), "16909056");
  EXPECT_EQ(Value(result.out, "flags"), "16384");
  EXPECT_EQ(Value(result.out, "appNameBytes"), "14");
  EXPECT_EQ(Value(result.out, "magic"), "3793771914");
  EXPECT_EQ(Value(result.out, "partGBytes"), "-2");
  EXPECT_EQ(Value(result.out, "workbookFormat"), "52");
  EXPECT_EQ(Value(result.out, "builderVersion"), "33882112");
  EXPECT_EQ(Value(result.out, "appName"), "\"B\\u00E4r \\u0022x\\u0022\"");
  EXPECT_EQ(Value(result.out, "storedPassword"), "\"secret\"");
  EXPECT_EQ(Value(result.out, "storageAccepted"), "<absent>");
}

TEST_F(PayloadToolSettings, ReadsPackedAndMalformedRecords) {
  const PayloadBuffer raw = CurrentRecord{}.Build();
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(raw.data(), raw.size(), packed));
  const CommandResult fromPacked = Run({"settings", File("packed.bin", packed)});
  EXPECT_EQ(fromPacked.exitCode, 0);
  EXPECT_EQ(Value(fromPacked.out, "appName"), "\"Budget\"");

  const CommandResult fromJunk = Run({"settings", File("junk.bin", {0x01})});
  EXPECT_EQ(fromJunk.exitCode, 0);
  EXPECT_EQ(Value(fromJunk.out, "headerSize"), "1");
  EXPECT_EQ(Value(fromJunk.out, "magic"), "0");
  EXPECT_EQ(Value(fromJunk.out, "appName"), "\"\"");
}

class PayloadToolStorage : public PayloadToolSettings {
 protected:
  void SetUp() override {
    CurrentRecord stored;
    stored.appName = u"From file";
    stored.flags = kFlagExternalStorage | kFlagHostInvisible;
    storage_.settings = AsString(stored.Build());
    storage_.workbook = std::string(333, 'w');
  }
  std::string Record(std::uint32_t flags) {
    CurrentRecord record;
    record.flags = flags;
    return File("record.bin", record.Build());
  }
  StorageFile storage_;
};

TEST_F(PayloadToolStorage, ExternalStorageModeTakesTheFile) {
  const CommandResult result =
      Run({"settings", Record(kFlagExternalStorage), "--storage", File("Tool.qstg", storage_.Build())});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Value(result.out, "appName"), "\"From file\"");
  EXPECT_EQ(Value(result.out, "flags"), std::to_string(kFlagExternalStorage | kFlagHostInvisible));
  EXPECT_EQ(Value(result.out, "storageAccepted"), "true");
  EXPECT_EQ(Value(result.out, "workbookBytes"), "333");
  EXPECT_EQ(Value(result.out, "storageBytes"), std::to_string(storage_.Build().size()));
  EXPECT_EQ(Value(result.out, "storageLimitBytes"), std::to_string(kMaxStorageFileBytes));
  EXPECT_EQ(Lines(result.out).back(), "}");
}

TEST_F(PayloadToolStorage, OptionMayComeFirst) {
  const CommandResult result =
      Run({"settings", "--storage", File("Tool.qstg", storage_.Build()), Record(kFlagExternalStorage)});
  EXPECT_EQ(Value(result.out, "storageAccepted"), "true");
}

TEST_F(PayloadToolStorage, WithoutExternalStorageModeTheFileIsNotUsed) {
  const CommandResult result =
      Run({"settings", Record(kFlagSingleInstance), "--storage", File("Tool.qstg", storage_.Build())});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_EQ(Value(result.out, "appName"), "\"Budget\"");
  EXPECT_EQ(Value(result.out, "storageAccepted"), "false");
  EXPECT_EQ(Value(result.out, "workbookBytes"), "0");
}

// A file the 64-bit tool could hold but the 32-bit launcher refuses: the
// tool shows the launcher's view, its limit with it. The file is sparse.
TEST_F(PayloadToolStorage, FileAboveTheLaunchersLimitIsRefusedAsTheLauncherRefusesIt) {
  for (const std::uint64_t size : {kMaxStorageFileBytes + 1, std::uint64_t{1536} * 1024 * 1024}) {
    PayloadBuffer header = storage_.Build();
    const std::uint64_t workbookBytes = size - header.size() + storage_.workbook.size();
    test::PutLe(header, 32, static_cast<std::uint32_t>(workbookBytes), 4);
    const std::string file = File("Tool.qstg", header);
    std::filesystem::resize_file(file, size);
    const CommandResult result = Run({"settings", Record(kFlagExternalStorage), "--storage", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Value(result.out, "appName"), "\"Budget\"");
    EXPECT_EQ(Value(result.out, "storageAccepted"), "false");
    EXPECT_EQ(Value(result.out, "storageBytes"), std::to_string(size));
    EXPECT_EQ(Value(result.out, "storageLimitBytes"), "536870912");
    EXPECT_EQ(Value(result.out, "workbookBytes"), "0");
  }
}

TEST_F(PayloadToolStorage, InvalidOrMissingFileKeepsTheRecord) {
  storage_.bindingTag ^= 1;
  for (const std::string& file : {File("Tool.qstg", storage_.Build()), PathOf("missing.qstg")}) {
    const CommandResult result = Run({"settings", Record(kFlagExternalStorage), "--storage", file});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(Value(result.out, "appName"), "\"Budget\"");
    EXPECT_EQ(Value(result.out, "storageAccepted"), "false");
    EXPECT_EQ(Value(result.out, "workbookBytes"), "0");
  }
}

}  // namespace
}  // namespace brisk
