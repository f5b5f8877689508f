#include "core/workbook_name.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace brisk {
namespace {

using testing::ElementsAre;

const WorkbookNameTexts kTexts{u".exe", u".xlsx", u".xlsb", u".xls"};
const std::u16string kFolder = u"C:\\Users\\u\\AppData\\Local\\Temp\\kq3m8pzx";

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// A file system of names only, that remembers what was asked.
struct Names {
  std::set<std::u16string> taken;
  std::vector<std::string> asked;
  PathCheck Check() {
    return [this](const std::u16string& path) {
      asked.push_back(Narrow(path));
      return taken.count(path) > 0;
    };
  }
};

NameSource Sequence(std::vector<std::string> names) {
  auto next = std::make_shared<std::size_t>(0);
  return [names = std::move(names), next] { return names[(*next)++ % names.size()]; };
}

TEST(WorkbookNameTest, NamedAfterTheExecutable) {
  struct Case {
    std::u16string folder;
    std::u16string exePath;
    std::uint32_t format;
    std::u16string expected;
  };
  const std::u16string f = kFolder + u"\\";
  const std::vector<Case> cases = {
      {kFolder, u"C:\\Apps\\Tool.exe", '4', f + u"Tool.xlsx"},
      {kFolder, u"C:\\Apps\\Tool.exe", '2', f + u"Tool.xlsb"},
      {kFolder, u"C:\\Apps\\Tool.exe", 0, f + u"Tool.xls"},
      {kFolder, u"C:\\Apps\\Tool.exe", '5', f + u"Tool.xls"},
      {kFolder + u"\\", u"C:\\Apps\\Tool.exe", '4', f + u"Tool.xlsx"},
      // Found in capitals, while the name keeps its case.
      {kFolder, u"C:\\Apps\\TOOL.EXE", '4', f + u"TOOL.xlsx"},
      {kFolder, u"C:\\Apps\\Mixed.ExE", '2', f + u"Mixed.xlsb"},
      // The last occurrence.
      {kFolder, u"C:\\Apps\\My.exe.Tool.EXE", '4', f + u"My.exe.Tool.xlsx"},
      {kFolder, u"C:\\Apps\\setup.exec", '4', f + u"setup.xlsx"},
      // Without the suffix the name is used as it is.
      {kFolder, u"C:\\Apps\\Tool", '4', f + u"Tool"},
      {kFolder, u"C:\\Apps\\Tool.com", '4', f + u"Tool.com"},
      // A suffix in a folder name never cuts the path.
      {u"C:\\Users\\bob.exe\\Temp\\kq3m8pzx", u"C:\\Apps.exe\\Tool", '4', u"C:\\Users\\bob.exe\\Temp\\kq3m8pzx\\Tool"},
      {kFolder, u"Tool.exe", '4', f + u"Tool.xlsx"},
  };
  for (const Case& c : cases) {
    Names names;
    EXPECT_EQ(MainWorkbookPath(c.folder, c.exePath, c.format, kTexts, names.Check()), c.expected)
        << Narrow(c.exePath) << " format " << c.format;
  }
}

TEST(WorkbookNameTest, TakenNamesAreNumbered) {
  const std::u16string f = kFolder + u"\\";
  struct Case {
    std::set<std::u16string> taken;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {{f + u"Tool.xlsx"}, f + u"Tool(1).xlsx"},
      {{f + u"Tool.xlsx.xls"}, f + u"Tool(1).xlsx"},
      {{f + u"Tool.xlsx", f + u"Tool(1).xlsx.xls"}, f + u"Tool(2).xlsx"},
      {{f + u"Tool.xlsx", f + u"Tool(1).xlsx", f + u"Tool(2).xlsx", f + u"Tool(1).xls"}, f + u"Tool(3).xlsx"},
      {{f + u"Tool(1).xlsx"}, f + u"Tool.xlsx"},
  };
  for (const Case& c : cases) {
    Names names;
    names.taken = c.taken;
    EXPECT_EQ(MainWorkbookPath(kFolder, u"C:\\Apps\\Tool.exe", '4', kTexts, names.Check()), c.expected)
        << Narrow(c.expected);
  }

  Names names;
  names.taken = {f + u"Tool.xlsx"};
  MainWorkbookPath(kFolder, u"C:\\Apps\\Tool.exe", '4', kTexts, names.Check());
  EXPECT_THAT(names.asked,
              ElementsAre(Narrow(f) + "Tool.xlsx", Narrow(f) + "Tool(1).xlsx", Narrow(f) + "Tool(1).xlsx.xls"));
}

TEST(WorkbookNameTest, NameWithoutSuffixIsNeitherTestedNorNumbered) {
  Names names;
  names.taken = {kFolder + u"\\Tool"};
  EXPECT_EQ(MainWorkbookPath(kFolder, u"C:\\Apps\\Tool", '4', kTexts, names.Check()), kFolder + u"\\Tool");
  EXPECT_TRUE(names.asked.empty());
}

TEST(WorkbookNameTest, EndlessCollisionsGiveNoName) {
  int asked = 0;
  const PathCheck everything = [&asked](const std::u16string&) {
    ++asked;
    return true;
  };
  EXPECT_EQ(MainWorkbookPath(kFolder, u"C:\\Apps\\Tool.exe", '4', kTexts, everything), std::nullopt);
  EXPECT_GT(asked, kMaxWorkbookNumber);
}

TEST(WorkingFolderTest, RandomNameInTheRoot) {
  for (const std::u16string root : {u"C:\\Temp", u"C:\\Temp\\"}) {
    Names exists;
    std::vector<std::string> created;
    const auto folder =
        MakeWorkingFolder(root, Sequence({"kq3m8pzx"}), exists.Check(), [&created](const std::u16string& path) {
          created.push_back(Narrow(path));
          return true;
        });
    EXPECT_EQ(folder, u"C:\\Temp\\kq3m8pzx");
    EXPECT_THAT(created, ElementsAre("C:\\Temp\\kq3m8pzx"));
  }
}

TEST(WorkingFolderTest, ExistingNamesAreDrawnAgain) {
  Names exists;
  exists.taken = {u"C:\\Temp\\aaaaaaaa", u"C:\\Temp\\bbbbbbbb"};
  std::vector<std::string> created;
  const auto folder = MakeWorkingFolder(u"C:\\Temp", Sequence({"aaaaaaaa", "bbbbbbbb", "cccccccc"}), exists.Check(),
                                        [&created](const std::u16string& path) {
                                          created.push_back(Narrow(path));
                                          return true;
                                        });
  EXPECT_EQ(folder, u"C:\\Temp\\cccccccc");
  EXPECT_THAT(created, ElementsAre("C:\\Temp\\cccccccc")) << "an existing name is never created into";
}

TEST(WorkingFolderTest, NameTakenBeforeTheCreationIsDrawnAgain) {
  Names exists;
  std::vector<std::string> created;
  // The first name is free when checked, but someone else creates it first.
  const auto folder = MakeWorkingFolder(u"C:\\Temp", Sequence({"aaaaaaaa", "bbbbbbbb"}), exists.Check(),
                                        [&created](const std::u16string& path) {
                                          created.push_back(Narrow(path));
                                          return path != u"C:\\Temp\\aaaaaaaa";
                                        });
  EXPECT_EQ(folder, u"C:\\Temp\\bbbbbbbb");
  EXPECT_THAT(created, ElementsAre("C:\\Temp\\aaaaaaaa", "C:\\Temp\\bbbbbbbb"));
}

TEST(WorkingFolderTest, GivesUpAfterTheAttempts) {
  Names exists;
  int creations = 0;
  const auto folder = MakeWorkingFolder(
      u"Q:\\Missing", Sequence({"aaaaaaaa", "bbbbbbbb"}), exists.Check(),
      [&creations](const std::u16string&) {
        ++creations;
        return false;
      },
      7);
  EXPECT_EQ(folder, std::nullopt);
  EXPECT_EQ(creations, 7);
}

TEST(AuxWorkbookNameTest, RandomNameTestedWithoutItsExtension) {
  Names files;
  files.taken = {kFolder + u"\\aaaaaaaa"};
  const auto path = AuxWorkbookPath(kFolder, Sequence({"aaaaaaaa", "bbbbbbbb"}), files.Check(), u".xls");
  EXPECT_EQ(path, kFolder + u"\\bbbbbbbb.xls");
  EXPECT_THAT(files.asked, ElementsAre(Narrow(kFolder) + "\\aaaaaaaa", Narrow(kFolder) + "\\bbbbbbbb"));

  Names all;
  all.taken = {kFolder + u"\\aaaaaaaa"};
  EXPECT_EQ(AuxWorkbookPath(kFolder, Sequence({"aaaaaaaa"}), all.Check(), u".xls", 5), std::nullopt);
  EXPECT_EQ(all.asked.size(), 5u);
}

TEST(WorkbookContentTest, MarkerIsDroppedAndWithoutItNothingIsWritten) {
  struct Case {
    PayloadBuffer payload;
    bool marker;
    PayloadBuffer content;
  };
  const std::vector<Case> cases = {
      {{0xEC, 0x02, 0x11, 0x57, 'P', 'K', 3}, true, {'P', 'K', 3}},
      {{0xEC, 0x02, 0x11, 0x57}, true, {}},
      {{0x57, 0x11, 0x02, 0xEC, 'P', 'K'}, false, {}},
      {{0xEC, 0x02, 0x11, 0x58, 'P'}, false, {}},
      {{0xEC, 0x02, 0x11}, false, {}},
      {{}, false, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasWorkbookMarker(c.payload), c.marker);
    const auto content = WorkbookFileContent(c.payload);
    EXPECT_EQ(PayloadBuffer(content.begin(), content.end()), c.content);
  }
}

TEST(CommandLineFileTest, CommandLineLineFeedAndWorkbookPath) {
  EXPECT_EQ(CommandLineFileContent("\"C:\\Apps\\Tool.exe\" -p s\xC3\xA9"
                                   "cret",
                                   "C:\\T\\k\\Tool.xlsx"),
            "\"C:\\Apps\\Tool.exe\" -p s\xC3\xA9"
            "cret\nC:\\T\\k\\Tool.xlsx");
  EXPECT_EQ(CommandLineFileContent("Tool.exe", ""), "Tool.exe\n");
  EXPECT_EQ(CommandLineFileContent("", ""), "\n");
}

TEST(PathTest, JoinAndFileName) {
  EXPECT_EQ(JoinPath(u"C:\\T", u"a"), u"C:\\T\\a");
  EXPECT_EQ(JoinPath(u"C:\\T\\", u"a"), u"C:\\T\\a");
  EXPECT_EQ(JoinPath(u"", u"a"), u"\\a");
  EXPECT_EQ(FileNameOfPath(u"C:\\Apps\\Tool.exe"), u"Tool.exe");
  EXPECT_EQ(FileNameOfPath(u"Tool.exe"), u"Tool.exe");
  EXPECT_EQ(FileNameOfPath(u"C:\\Apps\\"), u"");
}

}  // namespace
}  // namespace brisk
