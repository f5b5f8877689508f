#include "standin_config.h"

#include <utf8.h>

#include <charconv>
#include <limits>

namespace brisk::standin {

namespace {

std::string_view Trim(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string Wide(std::string_view utf8) {
  std::u16string wide;
  utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(wide));
  return wide;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
  if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseFlag(std::string_view text, bool& value) {
  if (text == "1") {
    value = true;
    return true;
  }
  if (text == "0") {
    value = false;
    return true;
  }
  return false;
}

bool ParseValueType(std::string_view text, ValueType& type) {
  for (ValueType candidate :
       {ValueType::kEmpty, ValueType::kI2, ValueType::kI4, ValueType::kBool, ValueType::kBstr, ValueType::kR8}) {
    if (text == ValueTypeName(candidate)) {
      type = candidate;
      return true;
    }
  }
  return false;
}

// Splits "word rest" at the first space.
std::pair<std::string_view, std::string_view> FirstWord(std::string_view text) {
  const std::size_t space = text.find(' ');
  if (space == std::string_view::npos) return {text, {}};
  return {text.substr(0, space), Trim(text.substr(space + 1))};
}

bool ParseFailure(std::string_view text, Failure& failure) {
  const auto [kind, rest] = FirstWord(text);
  if (kind == "crash") {
    failure.kind = FailureKind::kCrash;
    return rest.empty();
  }
  const auto [code, description] = FirstWord(rest);
  if (kind == "hang" || kind == "dialog") {
    failure.kind = kind == "hang" ? FailureKind::kHang : FailureKind::kDialog;
    if (description.empty()) return ParseNumber(code, failure.code);
    const auto [word, count] = FirstWord(description);
    return ParseNumber(code, failure.code) && word == "after" && ParseNumber(count, failure.after);
  }
  failure.description = Wide(description);
  if (kind == "exception") {
    failure.kind = FailureKind::kException;
    return ParseNumber(code, failure.wCode) && failure.wCode != 0;
  }
  if (kind == "scode" || kind == "hresult") {
    failure.kind = kind == "scode" ? FailureKind::kScode : FailureKind::kHresult;
    return ParseNumber(code, failure.code, 16) && (kind == "scode" || description.empty());
  }
  return false;
}

bool ParseReportedWindow(std::string_view text, StandinConfig& config) {
  if (text == "main") {
    config.reportedWindow = ReportedWindow::kMain;
  } else if (text == "other") {
    config.reportedWindow = ReportedWindow::kOther;
  } else if (text == "none") {
    config.reportedWindow = ReportedWindow::kNone;
  } else if (text.starts_with("extra")) {
    config.reportedWindow = ReportedWindow::kExtra;
    return ParseNumber(text.substr(5), config.reportedExtra) && config.reportedExtra > 0;
  } else {
    return false;
  }
  return true;
}

bool ParseOpenResult(std::string_view text, OpenResult& result) {
  result = OpenResult{};
  const auto [kind, rest] = FirstWord(text);
  if (kind == OpenResultKindName(OpenResultKind::kException)) {
    result.kind = OpenResultKind::kException;
    result.description = rest.empty() ? std::u16string(kDefaultOpenExceptionDescription) : Wide(rest);
    return true;
  }
  if (kind == OpenResultKindName(OpenResultKind::kHresult)) {
    result.kind = OpenResultKind::kHresult;
    return ParseNumber(rest, result.hresult, 16);
  }
  for (OpenResultKind plain : {OpenResultKind::kWorkbook, OpenResultKind::kEmpty, OpenResultKind::kDisconnected}) {
    if (kind == OpenResultKindName(plain)) {
      result.kind = plain;
      return rest.empty();
    }
  }
  return false;
}

// One "key=value" line; false when the key is unknown or the value bad.
bool ApplySetting(std::string_view key, std::string_view value, StandinConfig& config) {
  if (key == "log") return config.logPath = Wide(value), true;
  if (key == "version") return config.version = Wide(value), true;
  if (key == "install_path") return config.installPath = Wide(value), true;
  if (key == "product_code") return config.productCode = Wide(value), true;
  if (key == "caption") return config.caption = Wide(value), true;
  if (key == "main_title") {
    config.hasMainTitle = true;
    config.mainTitle = Wide(value);
    return true;
  }
  if (key == "main_class") return config.mainClass = Wide(value), !value.empty();
  if (key == "visible") return ParseFlag(value, config.visible);
  if (key == "topmost") return ParseFlag(value, config.topmost);
  if (key == "ui_language") return ParseNumber(value, config.uiLanguage);
  if (key == "ui_language_type") return ParseValueType(value, config.uiLanguageType);
  if (key == "int_1209") return ParseNumber(value, config.int1209);
  if (key == "extra_window") return config.extraWindows.push_back(Wide(value)), true;
  if (key == "reported_window") return ParseReportedWindow(value, config);
  if (key == "register_delay_ms") return ParseNumber(value, config.registerDelayMs);
  if (key == "quit_on_quit") return ParseFlag(value, config.quitOnQuit);
  if (key == "user_instance") return ParseFlag(value, config.userInstance);
  if (key == "open_result") return ParseOpenResult(value, config.auxOpenResult);
  std::int32_t dispid = 0;
  if (key.starts_with("reply_type.")) {
    ValueType type{};
    if (!ParseNumber(key.substr(11), dispid) || !ParseValueType(value, type)) return false;
    config.replyTypes[dispid] = type;
    return true;
  }
  std::map<std::int32_t, Failure>* failures = nullptr;
  if (key.starts_with("fail.workbooks.")) {
    key.remove_prefix(15);
    failures = &config.workbooksFailures;
  } else if (key.starts_with("fail.")) {
    key.remove_prefix(5);
    failures = &config.applicationFailures;
  } else {
    return false;
  }
  Failure failure;
  if (!ParseNumber(key, dispid) || !ParseFailure(value, failure)) return false;
  (*failures)[dispid] = failure;
  return true;
}

}  // namespace

std::string_view ValueTypeName(ValueType type) {
  switch (type) {
    case ValueType::kEmpty:
      return "empty";
    case ValueType::kI2:
      return "i2";
    case ValueType::kI4:
      return "i4";
    case ValueType::kBool:
      return "bool";
    case ValueType::kBstr:
      return "bstr";
    case ValueType::kR8:
      return "r8";
  }
  return "empty";
}

std::string_view OpenResultKindName(OpenResultKind kind) {
  switch (kind) {
    case OpenResultKind::kWorkbook:
      return "workbook";
    case OpenResultKind::kEmpty:
      return "empty";
    case OpenResultKind::kException:
      return "exception";
    case OpenResultKind::kDisconnected:
      return "disconnected";
    case OpenResultKind::kHresult:
      return "hresult";
  }
  return "workbook";
}

StandinConfig ParseStandinConfig(std::string_view text, std::vector<ConfigError>& errors) {
  StandinConfig config;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      errors.push_back({lineNumber, "no '=' in the line"});
      continue;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (!utf8::is_valid(value.begin(), value.end())) {
      errors.push_back({lineNumber, "the value is not UTF-8"});
      continue;
    }
    StandinConfig changed = config;
    if (ApplySetting(key, value, changed)) {
      config = std::move(changed);
    } else {
      errors.push_back({lineNumber, "cannot use '" + std::string(key) + "'"});
    }
  }
  return config;
}

}  // namespace brisk::standin
