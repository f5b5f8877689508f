// The Windows macro environment, against the system it runs on.
#include <gtest/gtest.h>

#include <windows.h>

#include "text/macro_environment_win.h"
#include "text/macro_table.h"

namespace brisk {
namespace {

TEST(WinMacroEnvironment, RefreshTakesTheValuesAtEachCall) {
  int calls = 0;
  WinMacroEnvironment environment([&calls] {
    ++calls;
    return MacroAppValues{u"Budget", u"Planner", 0x01020300, u"C:\\Apps\\Budget " + std::u16string(1, u'0' + calls)};
  });
  MacroTable table(&environment);
  table.Refresh();
  table.Refresh();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(table.ExpandW(u"<?APPNAME?> <?APPVER?> <?APPINFO?> <?EXEPATH?>"),
            u"Budget 1.2.3 Planner C:\\Apps\\Budget 2");
}

TEST(WinMacroEnvironment, FindsTheDocumentsAndDesktopFolders) {
  WinMacroEnvironment environment({});
  FolderQueryResult documents = environment.DocumentsFolder();
  FolderQueryResult desktop = environment.DesktopFolder();
  EXPECT_EQ(documents.status, S_OK);
  EXPECT_EQ(desktop.status, S_OK);
  EXPECT_FALSE(documents.path.empty());
  EXPECT_FALSE(desktop.path.empty());
  EXPECT_NE(documents.path, desktop.path);

  MacroTable table(&environment);
  table.Refresh();
  EXPECT_EQ(table.GetMacro(u"MYDOCUMENTS"), documents.path);
  EXPECT_EQ(table.GetMacro(u"DESKTOP"), desktop.path);
  EXPECT_EQ(table.GetMacro(u"APPNAME"), u"");
}

TEST(WinMacroEnvironment, ConvertsToTheAnsiCodePageWithItsReplacement) {
  if (GetACP() != 1252) GTEST_SKIP() << "expects the Western European ANSI code page";
  WinMacroEnvironment environment({});
  EXPECT_EQ(environment.ToAnsiCodePage(u"Caf\u00E9 \u20AC"), "Caf\xE9 \x80");
  EXPECT_EQ(environment.ToAnsiCodePage(u"\u65E5\u672C"), "??");
  EXPECT_EQ(environment.ToAnsiCodePage(u""), "");

  MacroTable table(&environment);
  table.SetMacro(u"APPNAME", u"Caf\u00E9 \u65E5");
  EXPECT_EQ(table.ExpandA("<?APPNAME?>!"), "Caf\xE9 ?!");
}

}  // namespace
}  // namespace brisk
