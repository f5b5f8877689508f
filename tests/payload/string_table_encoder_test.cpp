// The build-time encoder of the built-in texts, and what it keeps out of the
// built library.
#include <gtest/gtest.h>

#include <string>

#include "command_runner.h"
#include "payload/encoded_strings.h"
#include "payload/encoded_text.h"
#include "payload_fixtures.h"

namespace brisk {
namespace {

using test::CommandResult;
using test::ReadAll;
using test::TempDir;

class PayloadStringEncoder : public ::testing::Test {
 protected:
  CommandResult Encode(const std::string& texts) {
    const auto in = dir_.Write("texts.txt", PayloadBuffer(texts.begin(), texts.end()));
    return test::RunCommand(BRISK_STRING_ENCODER, {in.string(), Output()}, dir_.Path());
  }
  std::string Output() const { return (dir_.Path() / "table.inc").string(); }

  TempDir dir_;
};

TEST_F(PayloadStringEncoder, WritesTheEncodedFormsInNumberOrder) {
  const CommandResult result = Encode("# comment\n\n1\tsecond\tTwo \\n words\r\n0\tfirst\tOne\n2\tempty\t\n");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string table = ReadAll(Output());
  const auto one = table.find("\"" + EncodeText("One") + "\"");
  const auto two = table.find("\"" + EncodeText("Two \\n words") + "\"");
  const auto empty = table.find("\"\",");
  ASSERT_NE(one, std::string::npos) << table;
  ASSERT_NE(two, std::string::npos) << table;
  ASSERT_NE(empty, std::string::npos) << table;
  EXPECT_LT(one, two);
  EXPECT_LT(two, empty);
  EXPECT_EQ(table.find("One"), std::string::npos);
  EXPECT_EQ(table.find("words"), std::string::npos);
}

TEST_F(PayloadStringEncoder, RefusesBrokenTextFiles) {
  for (const std::string& texts :
       {std::string("0\ta\tx\n2\tb\ty\n"), std::string("0\ta\tx\n0\tb\ty\n"), std::string("1\ta\tx\n"),
        std::string("0\ta\t\xC3\n"), std::string("0 a x\n"), std::string("-1\ta\tx\n"), std::string("x\ta\tx\n")}) {
    const CommandResult result = Encode(texts);
    EXPECT_EQ(result.exitCode, 1) << texts;
    EXPECT_FALSE(result.err.empty()) << texts;
  }
}

// The library carries the encoded forms only, never the plain texts.
TEST(PayloadStringTable, LibraryHoldsNoPlainText) {
  const std::string library = ReadAll(BRISK_PAYLOAD_LIBRARY);
  ASSERT_FALSE(library.empty());
  EXPECT_NE(library.find(std::string(GetEncodedForm(kHostProgId))), std::string::npos);
  for (int number : {kHostProgId, kAddinFileName, kHostExeName, kPayloadResourceType, kCloseEventFormat,
                     kCommandLineFileName, kHostNotCreated}) {
    EXPECT_EQ(library.find(GetEncodedStringA(number)), std::string::npos) << GetEncodedStringA(number);
  }
}

}  // namespace
}  // namespace brisk
