// The stand-in host's configuration file.
#include "standin_config.h"

#include <gtest/gtest.h>

namespace brisk::standin {
namespace {

TEST(StandinConfig, EmptyTextGivesTheDefaults) {
  std::vector<ConfigError> errors;
  const StandinConfig config = ParseStandinConfig("", errors);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(config.version, u"16.0");
  EXPECT_EQ(config.mainClass, u"XLMAIN");
  EXPECT_EQ(config.reportedWindow, ReportedWindow::kMain);
  EXPECT_TRUE(config.quitOnQuit);
  EXPECT_FALSE(config.visible);
  EXPECT_TRUE(config.applicationFailures.empty());
  EXPECT_EQ(config.auxOpenResult.kind, OpenResultKind::kWorkbook);
}

TEST(StandinConfig, ReadsEveryKey) {
  std::vector<ConfigError> errors;
  const StandinConfig config = ParseStandinConfig(
      "\xEF\xBB\xBF# a test configuration\r\n"
      "log = C:\\t\\calls.jsonl\r\n"
      "version=15.0\n"
      "install_path=C:\\Program Files\\Host\n"
      "product_code={3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}\n"
      "caption=Caption = with equals\n"
      "main_title=\n"
      "main_class=xlmain\n"
      "visible=1\n"
      "topmost=1\n"
      "\n"
      "ui_language=1031\n"
      "ui_language_type=bstr\n"
      "int_1209=-7\n"
      "reply_type.1209=i2\n"
      "extra_window=First\n"
      "extra_window=Zweites Fenster \xC3\xA4\n"
      "reported_window=extra2\n"
      "fail.558=exception 5 Not now, please.\n"
      "fail.392=scode 0x800A03EC\n"
      "fail.1209=hresult 80004005\n"
      "fail.302=crash\n"
      "fail.1950=hang 45000\n"
      "fail.2788=dialog 8000\n"
      "fail.1210=hang 700 after 2\n"
      "fail.workbooks.682=exception 1004 Cannot open\n"
      "register_delay_ms=1500\n"
      "quit_on_quit=0\n"
      "user_instance=1\n"
      "open_result=hresult 80010108\n",
      errors);
  EXPECT_TRUE(errors.empty()) << errors.front().line << ": " << errors.front().message;
  EXPECT_EQ(config.logPath, u"C:\\t\\calls.jsonl");
  EXPECT_EQ(config.version, u"15.0");
  EXPECT_EQ(config.installPath, u"C:\\Program Files\\Host");
  EXPECT_EQ(config.productCode, u"{3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}");
  EXPECT_EQ(config.caption, u"Caption = with equals");
  EXPECT_TRUE(config.hasMainTitle);
  EXPECT_EQ(config.mainTitle, u"");
  EXPECT_EQ(config.mainClass, u"xlmain");
  EXPECT_TRUE(config.visible);
  EXPECT_TRUE(config.topmost);
  EXPECT_EQ(config.uiLanguage, 1031);
  EXPECT_EQ(config.uiLanguageType, ValueType::kBstr);
  EXPECT_EQ(config.int1209, -7);
  EXPECT_EQ(config.replyTypes.at(1209), ValueType::kI2);
  EXPECT_EQ(config.extraWindows, (std::vector<std::u16string>{u"First", u"Zweites Fenster \u00E4"}));
  EXPECT_EQ(config.reportedWindow, ReportedWindow::kExtra);
  EXPECT_EQ(config.reportedExtra, 2u);
  const Failure& visible = config.applicationFailures.at(558);
  EXPECT_EQ(visible.kind, FailureKind::kException);
  EXPECT_EQ(visible.wCode, 5);
  EXPECT_EQ(visible.description, u"Not now, please.");
  EXPECT_EQ(config.applicationFailures.at(1210).kind, FailureKind::kHang);
  EXPECT_EQ(config.applicationFailures.at(1210).code, 700u);
  EXPECT_EQ(config.applicationFailures.at(1210).after, 2u);
  EXPECT_EQ(config.applicationFailures.at(1950).after, 0u);
  EXPECT_EQ(config.applicationFailures.at(392).kind, FailureKind::kScode);
  EXPECT_EQ(config.applicationFailures.at(392).code, 0x800A03ECu);
  EXPECT_EQ(config.applicationFailures.at(1209).kind, FailureKind::kHresult);
  EXPECT_EQ(config.applicationFailures.at(1209).code, 0x80004005u);
  EXPECT_EQ(config.applicationFailures.at(302).kind, FailureKind::kCrash);
  EXPECT_EQ(config.applicationFailures.at(1950).kind, FailureKind::kHang);
  EXPECT_EQ(config.applicationFailures.at(1950).code, 45000u);
  EXPECT_EQ(config.applicationFailures.at(2788).kind, FailureKind::kDialog);
  EXPECT_EQ(config.applicationFailures.at(2788).code, 8000u);
  EXPECT_EQ(config.workbooksFailures.at(682).wCode, 1004);
  EXPECT_EQ(config.workbooksFailures.count(558), 0u);
  EXPECT_EQ(config.registerDelayMs, 1500u);
  EXPECT_FALSE(config.quitOnQuit);
  EXPECT_TRUE(config.userInstance);
  EXPECT_EQ(config.auxOpenResult.kind, OpenResultKind::kHresult);
  EXPECT_EQ(config.auxOpenResult.hresult, 0x80010108u);
}

TEST(StandinConfig, ReadsEachOpenResult) {
  const struct {
    const char* value;
    OpenResultKind kind;
    std::uint32_t hresult;
    std::u16string description;
  } cases[] = {
      {"workbook", OpenResultKind::kWorkbook, 0, u""},
      {"empty", OpenResultKind::kEmpty, 0, u""},
      {"disconnected", OpenResultKind::kDisconnected, 0, u""},
      {"exception", OpenResultKind::kException, 0, kDefaultOpenExceptionDescription},
      {"exception  Closed by its own macro. ", OpenResultKind::kException, 0, u"Closed by its own macro."},
      {"hresult 0x800706BE", OpenResultKind::kHresult, 0x800706BEu, u""},
  };
  for (const auto& c : cases) {
    std::vector<ConfigError> errors;
    // An earlier answer leaves nothing of its own behind.
    const StandinConfig config =
        ParseStandinConfig(std::string("open_result=exception First\nopen_result=") + c.value + "\n", errors);
    EXPECT_TRUE(errors.empty()) << c.value;
    EXPECT_EQ(config.auxOpenResult.kind, c.kind) << c.value;
    EXPECT_EQ(config.auxOpenResult.hresult, c.hresult) << c.value;
    EXPECT_EQ(config.auxOpenResult.description, c.description) << c.value;
  }
}

TEST(StandinConfig, BadLinesAreReportedAndChangeNothing) {
  const struct {
    const char* line;
  } cases[] = {
      {"no equals sign"},
      {"unknown_key=1"},
      {"visible=yes"},
      {"ui_language=ten"},
      {"ui_language_type=i8"},
      {"reply_type.x=i2"},
      {"reported_window=extra"},
      {"reported_window=extra0"},
      {"reported_window=window"},
      {"fail.558=exception"},
      {"fail.558=exception 0"},
      {"fail.558=exception 70000"},
      {"fail.558=scode zz"},
      {"fail.558=hresult 1 text"},
      {"fail.558=crash now"},
      {"fail.558=hang"},
      {"fail.558=hang 5 s"},
      {"fail.558=dialog"},
      {"fail.558=dialog 5 later 2"},
      {"fail.558=hang 5 after"},
      {"fail.558=explode"},
      {"fail.x=crash"},
      {"main_class="},
      {"register_delay_ms=-1"},
      {"version=\xFF\xFE"},
      {"open_result="},
      {"open_result=nothing"},
      {"open_result=empty 1"},
      {"open_result=workbook 2"},
      {"open_result=hresult"},
      {"open_result=hresult xyz"},
      {"open_result=Workbook"},
  };
  for (const auto& c : cases) {
    std::vector<ConfigError> errors;
    const StandinConfig config = ParseStandinConfig(std::string("version=15.0\n") + c.line + "\n", errors);
    ASSERT_EQ(errors.size(), 1u) << c.line;
    EXPECT_EQ(errors[0].line, 2) << c.line;
    EXPECT_EQ(config.version, u"15.0") << c.line;
    EXPECT_EQ(config.reportedWindow, ReportedWindow::kMain) << c.line;
    EXPECT_TRUE(config.applicationFailures.empty()) << c.line;
    EXPECT_EQ(config.mainClass, u"XLMAIN") << c.line;
    EXPECT_EQ(config.auxOpenResult.kind, OpenResultKind::kWorkbook) << c.line;
  }
}

TEST(StandinConfig, LaterLinesWin) {
  std::vector<ConfigError> errors;
  const StandinConfig config =
      ParseStandinConfig("fail.558=crash\nfail.558=exception 9 later\nversion=1\nversion=2", errors);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(config.applicationFailures.at(558).kind, FailureKind::kException);
  EXPECT_EQ(config.version, u"2");
}

}  // namespace
}  // namespace brisk::standin
