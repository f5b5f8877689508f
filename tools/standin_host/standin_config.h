// The stand-in host's behaviour for one test, read from a configuration file
// that the test writes before the host is started (COM starts the server, so
// the environment of the test does not reach it).
//
// Format: UTF-8 text, one "key=value" per line; white space around the key
// and the value is ignored; lines starting with '#' and empty lines are
// skipped. Keys:
//   log=<path>              JSON-lines log of every call (appended)
//   version=<text>          392, version text (default "16.0")
//   install_path=<folder>   291, installation folder (default empty)
//   product_code=<text>     1798, product code (default one of the host's
//                           own bitness: its fourth group reads 1000 in a
//                           64-bit build, 0000 in a 32-bit one, as a real
//                           host's does)
//   caption=<text>          139, initial caption (default "Stand-in Host")
//   main_title=<text>       initial title of the main window when it should
//                           differ from the caption (a caption put sets it)
//   main_class=<name>       class of the main window (default "XLMAIN")
//   visible=0|1             initial visibility of the main window (default 0)
//   topmost=0|1             the main window stays above the other windows
//                           (default 0), as the window a user works in is
//                           above a host started after it
//   ui_language=<number>    member 1 (argument 2) of the language settings
//   ui_language_type=<vt>   type of that answer (default i4)
//   int_1209=<number>       1209
//   reply_type.<dispid>=<vt>  the answer to a get of <dispid> on the
//                           application is converted to <vt>
//   extra_window=<title>    one more top-level window of class "XLMAIN",
//                           shown; repeatable, created in this order
//   reported_window=main|extra<N>|other|none   what 1950 answers; "other" is
//                           a window of another class in the same process
//   fail.<dispid>=<failure> a get, put or call of <dispid> on the application
//   fail.workbooks.<dispid>=<failure>   the same on the workbooks collection
//     <failure>: exception <wCode> [<description>]
//              | scode <hex> [<description>]   (wCode 0)
//              | hresult <hex>                  (returned by Invoke itself)
//              | crash                          (the process ends at once)
//              | hang <ms> [after <n>]          (answers normally after <ms>
//                                                without handling messages meanwhile)
//              | dialog <ms> [after <n>]        (answers normally after a modal
//                                                dialog of its own, which handles
//                                                messages, was up for <ms>)
//     "after <n>": the first <n> calls of the member are answered at once
//     (the visibility put comes three times in a launch, say)
//   register_delay_ms=<n>   wait before the class object is registered
//   quit_on_quit=0|1        whether Quit ends the host (default 1)
//   user_instance=0|1       a host the user started, not COM (default 0): it
//                           registers no class object, so that COM clients
//                           start hosts of their own, and never ends for want
//                           of a client
//   open_result=<answer>    what Workbooks.Open (682) answers for the auxiliary
//                           workbook once its open handler has run; a real
//                           host's handler closes that workbook inside the call
//     <answer>: workbook                  a workbook object (default)
//             | empty                     S_OK and no value
//             | exception [<description>] a server exception, scode 0x800A03EC
//             | disconnected              a workbook object that is cut off
//                                         from its clients right after the answer
//             | hresult <hex>             returned by Invoke itself
// <vt> is one of empty, i2, i4, bool, bstr, r8.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::standin {

enum class ValueType { kEmpty, kI2, kI4, kBool, kBstr, kR8 };

enum class FailureKind { kNone, kException, kScode, kHresult, kCrash, kHang, kDialog };

struct Failure {
  FailureKind kind = FailureKind::kNone;
  std::uint16_t wCode = 0;
  std::uint32_t code = 0;  // scode or HRESULT; milliseconds for kHang and kDialog
  std::u16string description;
  std::uint32_t after = 0;  // for kHang and kDialog: calls answered at once first
};

enum class ReportedWindow { kMain, kExtra, kOther, kNone };

enum class OpenResultKind { kWorkbook, kEmpty, kException, kDisconnected, kHresult };

// The description of an open_result exception that names none.
inline constexpr char16_t kDefaultOpenExceptionDescription[] = u"The workbook was closed while it was being opened.";

struct OpenResult {
  OpenResultKind kind = OpenResultKind::kWorkbook;
  std::uint32_t hresult = 0;   // for kHresult
  std::u16string description;  // for kException
};

struct StandinConfig {
  std::u16string logPath;
  std::u16string version = u"16.0";
  std::u16string installPath;
#ifdef _WIN64
  std::u16string productCode = u"{6F2D1C40-8E13-4B7A-1000-2C41D9E07B11}";
#else
  std::u16string productCode = u"{6F2D1C40-8E13-4B7A-0000-2C41D9E07B11}";
#endif
  std::u16string caption = u"Stand-in Host";
  bool hasMainTitle = false;
  std::u16string mainTitle;
  std::u16string mainClass = u"XLMAIN";
  bool visible = false;
  bool topmost = false;
  std::int32_t uiLanguage = 1033;
  ValueType uiLanguageType = ValueType::kI4;
  std::int32_t int1209 = 0;
  std::map<std::int32_t, ValueType> replyTypes;
  std::vector<std::u16string> extraWindows;
  ReportedWindow reportedWindow = ReportedWindow::kMain;
  std::size_t reportedExtra = 0;  // 1-based, for ReportedWindow::kExtra
  std::map<std::int32_t, Failure> applicationFailures;
  std::map<std::int32_t, Failure> workbooksFailures;
  std::uint32_t registerDelayMs = 0;
  bool quitOnQuit = true;
  bool userInstance = false;
  OpenResult auxOpenResult;
};

struct ConfigError {
  int line = 0;
  std::string message;
};

// Reads the text of a configuration file. Lines that cannot be read are
// listed in `errors` and leave the defaults in place.
StandinConfig ParseStandinConfig(std::string_view text, std::vector<ConfigError>& errors);

// The name of a value type as the configuration and the log write it.
std::string_view ValueTypeName(ValueType type);

// The name of an open_result answer as the configuration and the log write it.
std::string_view OpenResultKindName(OpenResultKind kind);

}  // namespace brisk::standin
