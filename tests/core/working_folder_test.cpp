#include "core/working_folder.h"

#include <gtest/gtest.h>

namespace brisk {
namespace {

TEST(FolderMarkerTest, WhatIsWrittenIsReadBack) {
  const FolderMarker markers[] = {
      {{4242, 133456789012345678ull}, {}},
      {{1, 0}, {4294967295u, 18446744073709551615ull}},
  };
  for (const FolderMarker& marker : markers) {
    const std::string text = FormatFolderMarker(marker);
    EXPECT_EQ(ParseFolderMarker(text), marker) << text;
  }
  EXPECT_EQ(FormatFolderMarker({{12, 34}, {56, 78}}), "brisk working folder 1\nlauncher 12 34\nhost 56 78\n");
}

TEST(FolderMarkerTest, AnythingElseIsNoMarker) {
  const char* const texts[] = {
      "",
      "brisk working folder 1\nlauncher 12 34\nhost 56 78",    // cut short
      "brisk working folder 1\nlauncher 12 34\n",              // no host line
      "brisk working folder 2\nlauncher 12 34\nhost 56 78\n",  // another version
      "brisk working folder 1\nlauncher 0 34\nhost 0 0\n",     // no launcher
      "brisk working folder 1\nlauncher -12 34\nhost 0 0\n",
      "brisk working folder 1\nlauncher 12 34 5\nhost 0 0\n",
      "brisk working folder 1\nlauncher 4294967296 34\nhost 0 0\n",  // beyond 32 bits
      "brisk working folder 1\nhost 56 78\nlauncher 12 34\n",        // out of order
      "brisk working folder 1\nlauncher 12 34\nhost 56 78\nmore\n",
      "brisk working folder 1\r\nlauncher 12 34\r\nhost 56 78\r\n",
  };
  for (const char* text : texts) EXPECT_FALSE(ParseFolderMarker(text).has_value()) << text;
}

TEST(WorkingFolderNameTest, OnlyWhatALaunchDraws) {
  EXPECT_TRUE(IsWorkingFolderName(u"kq3m8pzx"));
  for (const char16_t* name :
       {u"", u"kq3m8pz", u"kq3m8pzxy", u"1q3m8pzx", u"Kq3m8pzx", u"kq3m-pzx", u"kq3m8pz\u00E9"}) {
    EXPECT_FALSE(IsWorkingFolderName(name)) << std::u16string(name).size();
  }
}

TEST(PathTest, SplitAndChildOfTheRoot) {
  EXPECT_EQ(SplitPath(u"C:\\a\\b.dll").folder, u"C:\\a");
  EXPECT_EQ(SplitPath(u"C:/a/b.dll").name, u"b.dll");
  EXPECT_EQ(SplitPath(u"b.dll").name, u"");

  const std::u16string root = u"C:\\Temp";
  EXPECT_EQ(ChildOfRoot(u"C:\\Temp\\kq3m8pzx", root), u"kq3m8pzx");
  EXPECT_EQ(ChildOfRoot(u"c:\\temp\\kq3m8pzx", u"C:\\Temp\\"), u"kq3m8pzx");
  EXPECT_EQ(ChildOfRoot(u"C:\\Temp", root), std::nullopt);
  EXPECT_EQ(ChildOfRoot(u"C:\\Temp\\", root), std::nullopt);
  EXPECT_EQ(ChildOfRoot(u"C:\\Temp\\a\\b", root), std::nullopt);
  EXPECT_EQ(ChildOfRoot(u"C:\\Temporary\\a", root), std::nullopt);
  EXPECT_EQ(ChildOfRoot(u"C:\\a", u""), std::nullopt);
}

}  // namespace
}  // namespace brisk
